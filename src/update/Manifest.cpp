#include "update/Manifest.h"

#include <QFile>

namespace kr90x {
namespace {

// A manifest is a few lines; a larger file is not one, and is not read past this.
constexpr qsizetype kMaxManifestBytes = 64 * 1024;

} // namespace

Manifest parseManifest(QByteArrayView text) {
    Manifest m;
    auto integer = [&](const char* section) {
        const std::optional<QByteArray> v = iniValue(text, section, "Version");
        return v ? iniInteger(*v) : 0;
    };
    m.ProgramVersion = integer("PC_Version");
    m.FirmwareVersion = integer("KR90X_Version");
    m.ProgramSha256 = iniValue(text, "PC_Version", "SHA256");
    m.FirmwareSha256 = iniValue(text, "KR90X_Version", "SHA256");
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
