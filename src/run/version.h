#pragma once

// What the program says about itself: in brantovel-check --version, in the window's "Про програму" and,
// through CMake, in the executables' version information. BRANTOVEL_VERSION is the project's version,
// defined by CMake for the targets that include this header.
namespace app {

inline constexpr char16_t kProductName[] = u"Brantovel";
inline constexpr char16_t kVersion[] = u"" BRANTOVEL_VERSION;
inline constexpr char16_t kCopyright[] = u"© 2026 Розробники Brantovel"; // as RC_COPYRIGHT in cmake/Windows.cmake
inline constexpr char16_t kLicence[] = u"Ліцензія MIT (файл LICENSE.txt у теці програми)";

} // namespace app
