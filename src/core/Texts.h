#pragma once

// Texts the program shows in more than one place.
namespace kr90x {

inline constexpr const char* kApplicationTitle = "Orvo KR90X pressure tester";
inline constexpr const char* kInformationCaption = "Information";
inline constexpr double kProgramVersion = 1.04;

} // namespace kr90x
