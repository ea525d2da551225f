#pragma once

#include <QString>

namespace kr90x {

// The tester's commands. A numbered command is its code, "|", a five-character number
// field and "|".
inline constexpr char kVersionCommand[] = "KR90X_VERS|";
inline constexpr char kPetrolCommand[] = "KR90X_COMG";
inline constexpr char kDieselCommand[] = "KR90X_COMD";
inline constexpr char kHighPressureCountCommand[] = "KR90X_GAMX";
inline constexpr char kTurboCountCommand[] = "KR90X_GTMX";
inline constexpr char kFsiCountCommand[] = "KR90X_GFMX";
inline constexpr char kTdiCountCommand[] = "KR90X_GDMX";
inline constexpr char kHighPressureSampleCode[] = "KR90X_GAVA";
inline constexpr char kTurboSampleCode[] = "KR90X_GTVA";
inline constexpr char kFsiSampleCode[] = "KR90X_GFVA";
inline constexpr char kTdiSampleCode[] = "KR90X_GDVA";
inline constexpr char kEepromCode[] = "KR90X_EEPR";
inline constexpr char kFirstEepromCommand[] = "KR90X_EEPR|00000|";

// code + "|" + number right-aligned in five characters + "|", e.g. "KR90X_GAVA|    1|".
QString numberedCommand(const char* code, unsigned number);

} // namespace kr90x
