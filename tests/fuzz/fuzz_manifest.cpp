// Arbitrary "version.ini" text for the manifest reader: it reads whatever comes, and a
// value it reads is one that the text holds. The publisher's tool writes hash keys into
// any such text: the reader then finds what was written, and nothing else changes.
#include "update/IniText.h"
#include "update/Manifest.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const kr90x::Manifest m = kr90x::parseManifest(text);
    for (const auto& hash : {m.ProgramSha256, m.FirmwareSha256, m.FlasherSha256}) {
        if (hash && !text.contains(QByteArrayView(*hash))) {
            std::abort();
        }
    }
    if (m.ProgramVersion != 0 && size < 3) {
        std::abort();
    }
    // The integer reader on its own: a value other than 0 needs a digit other than 0.
    bool digit = false;
    for (char c : QByteArrayView("123456789abcdefABCDEF")) {
        digit = digit || text.contains(c);
    }
    if (kr90x::iniInteger(text) != 0 && !digit) {
        std::abort();
    }
    const QByteArray hash(64, 'e');
    for (const char* section : {kr90x::kProgramSection, kr90x::kFlasherSection}) {
        const QByteArray written = kr90x::iniWithValue(text, section, kr90x::kHashKey, hash);
        const kr90x::Manifest after = kr90x::parseManifest(written);
        const auto& read =
            section == kr90x::kFlasherSection ? after.FlasherSha256 : after.ProgramSha256;
        if (read != hash || after.ProgramVersion != m.ProgramVersion ||
            after.FirmwareVersion != m.FirmwareVersion ||
            after.FirmwareSha256 != m.FirmwareSha256) {
            std::abort();
        }
    }
    return 0;
}
