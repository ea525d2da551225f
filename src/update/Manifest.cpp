#include "update/Manifest.h"

#include <QFile>

namespace kr90x {
Manifest parseManifest(QByteArrayView text) {
    Manifest m;
    auto integer = [&](const char* section) {
        const std::optional<QByteArray> v = iniValue(text, section, "Version");
        return v ? iniInteger(*v) : 0;
    };
    m.ProgramVersion = integer(kProgramSection);
    m.FirmwareVersion = integer(kFirmwareSection);
    m.ProgramSha256 = iniValue(text, kProgramSection, kHashKey);
    m.FirmwareSha256 = iniValue(text, kFirmwareSection, kHashKey);
    m.FlasherSha256 = iniValue(text, kFlasherSection, kHashKey);
    return m;
}

Manifest readManifestFile(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return parseManifest(file.read(kMaxManifestBytes));
}

} // namespace kr90x
