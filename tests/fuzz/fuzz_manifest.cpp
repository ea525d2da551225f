// Arbitrary "version.ini" text for the manifest reader: it reads whatever comes, and a
// value it reads is one that the text holds. The publisher's tool writes hash keys into
// any such text, and a sequence and an expiry: the reader then finds what was written,
// and nothing else changes.
#include "core/IniText.h"
#include "update/Manifest.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const kr90x::Manifest m = kr90x::parseManifest(text);
    const QByteArray lower = text.toByteArray().toLower();
    for (const kr90x::NamedHash& hash : {m.Program, m.Firmware, m.Flasher}) {
        if ((hash.digest && !hash.named) ||
            (hash.digest && !lower.contains(kr90x::sha256Hex(*hash.digest)))) {
            std::abort();
        }
    }
    if ((m.Sequence && !text.contains(QByteArray::number(qulonglong(*m.Sequence)))) ||
        (m.Expires && !text.contains(kr90x::expiryText(*m.Expires)))) {
        std::abort();
    }
    (void)kr90x::freshnessProblem(m, QDateTime::fromSecsSinceEpoch(0), 0);
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
        const kr90x::NamedHash& read =
            section == kr90x::kFlasherSection ? after.Flasher : after.Program;
        if (read != kr90x::NamedHash::fromText(hash) || after.ProgramVersion != m.ProgramVersion ||
            after.FirmwareVersion != m.FirmwareVersion || after.Firmware != m.Firmware ||
            after.Sequence != m.Sequence || after.Expires != m.Expires) {
            std::abort();
        }
    }
    const QByteArray dated = kr90x::iniWithValue(
        kr90x::iniWithValue(text, kr90x::kFreshnessSection, kr90x::kSequenceKey, "17"),
        kr90x::kFreshnessSection, kr90x::kExpiresKey, "2030-01-02T03:04:05Z");
    const kr90x::Manifest after = kr90x::parseManifest(dated);
    if (after.Sequence != 17u || !after.Expires ||
        kr90x::expiryText(*after.Expires) != "2030-01-02T03:04:05Z" ||
        after.ProgramVersion != m.ProgramVersion || after.Program != m.Program) {
        std::abort();
    }
    return 0;
}
