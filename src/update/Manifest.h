#pragma once

#include "core/IniText.h"
#include "update/Sha256.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace kr90x {

// The update manifest "version.ini": the newest program and firmware versions, for each
// an optional SHA-256 of its file, and how long a signed manifest counts.
struct Manifest {
    std::int32_t ProgramVersion = 0;  // [PC_Version] Version
    std::int32_t FirmwareVersion = 0; // [KR90X_Version] Version
    // The "SHA256" key of the same sections.
    NamedHash Program;
    NamedHash Firmware;
    // [OrvoFlash] SHA256: the flashing tool's, which a signed manifest must name.
    NamedHash Flasher;
    // [Freshness] Sequence: grows with every manifest the publisher signs, so that an
    // older one, genuine as it is, cannot be passed off again in place of a newer one.
    std::optional<std::uint64_t> Sequence;
    // [Freshness] Expires: after it (UTC), a signed manifest no longer counts; a server
    // that keeps offering the last one it was given cannot hold updates back for ever.
    std::optional<QDateTime> Expires;
};

// A manifest is a few lines; a larger file is not one, and is not read past this.
inline constexpr qsizetype kMaxManifestBytes = 64 * 1024;

// The sections of the hash keys, for the publisher's tool.
inline constexpr const char* kProgramSection = "PC_Version";
inline constexpr const char* kFirmwareSection = "KR90X_Version";
inline constexpr const char* kFlasherSection = "OrvoFlash";
inline constexpr const char* kHashKey = "SHA256";
inline constexpr const char* kFreshnessSection = "Freshness";
inline constexpr const char* kSequenceKey = "Sequence";
inline constexpr const char* kExpiresKey = "Expires";

// INI text: sections and keys matched without regard to case, the first of each name
// counting; values trimmed. Anything missing or not a number reads 0; a sequence or an
// expiry that is not one reads as missing.
Manifest parseManifest(QByteArrayView text);
// A file that cannot be read reads as an empty manifest.
Manifest readManifestFile(const QString& path);

// How the publisher's tool writes an expiry, and the only form read: "2027-03-01T12:00:00Z".
QByteArray expiryText(const QDateTime& utc);

// Why a signed manifest does not count now, given the highest sequence this program has
// accepted before; nothing when it does.
std::optional<QString> freshnessProblem(const Manifest& manifest, const QDateTime& nowUtc,
                                        std::uint64_t highestAccepted);

} // namespace kr90x
