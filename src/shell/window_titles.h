#pragma once
// The catalogue numbers of the work windows' titles. The program finds its own open windows by
// these titles, so a work area is never opened twice.

namespace kbcfg::shell {

inline constexpr int kTitleLogin = 72;     // "Login"
inline constexpr int kTitleMenu = 73;      // "Menu", the main window
inline constexpr int kTitleModes = 74;     // "Modes", the mode dialog
inline constexpr int kTitleExport = 115;   // "Remote Config File"
inline constexpr int kTitleUpgrade = 151;  // "Update Keyboard"

}  // namespace kbcfg::shell
