// The window's fixed layout, in units of 1/96 inch; scaled to the window's DPI.
#pragma once

#include <windows.h>

namespace kelvra::frontend {

inline constexpr int kClientWidth = 520;
inline constexpr int kClientHeight = 200;
inline constexpr int kMargin = 24;
inline constexpr int kGap = 12;
inline constexpr int kButtonWidth = 100;
inline constexpr int kButtonHeight = 30;
inline constexpr int kProgressHeight = 20;
// The error link ends this far left of the error label's right edge.
inline constexpr int kLinkInset = 10;

}  // namespace kelvra::frontend
