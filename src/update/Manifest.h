#pragma once

#include "update/IniText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace kr90x {

// The update manifest "version.ini": the newest program and firmware versions, and for
// each an optional SHA-256 of its file.
struct Manifest {
    std::int32_t ProgramVersion = 0;  // [PC_Version] Version
    std::int32_t FirmwareVersion = 0; // [KR90X_Version] Version
    // The "SHA256" key of the same sections, as written, when there is one.
    std::optional<QByteArray> ProgramSha256;
    std::optional<QByteArray> FirmwareSha256;
    // [OrvoFlash] SHA256: the flashing tool's, which a signed manifest must name.
    std::optional<QByteArray> FlasherSha256;
};

// A manifest is a few lines; a larger file is not one, and is not read past this.
inline constexpr qsizetype kMaxManifestBytes = 64 * 1024;

// The sections of the hash keys, for the publisher's tool.
inline constexpr const char* kProgramSection = "PC_Version";
inline constexpr const char* kFirmwareSection = "KR90X_Version";
inline constexpr const char* kFlasherSection = "OrvoFlash";
inline constexpr const char* kHashKey = "SHA256";

// INI text: sections and keys matched without regard to case, the first of each name
// counting; values trimmed. Anything missing or not a number reads 0.
Manifest parseManifest(QByteArrayView text);
// A file that cannot be read reads as an empty manifest.
Manifest readManifestFile(const QString& path);

} // namespace kr90x
