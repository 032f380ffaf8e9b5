// Per-monitor DPI: the calls that exist only on newer systems (Windows 10 1607
// and later) are looked up at run time, with the system-wide DPI as the fallback.
#pragma once

#include <windows.h>

namespace kelvra::frontend {

// The DPI the window is shown at (96 is 100 %).
[[nodiscard]] UINT dpiOfWindow(HWND window);

// value, given at 96 DPI, at dpi.
[[nodiscard]] int scaleForDpi(int value, UINT dpi);

// The window rectangle that holds a client rectangle of the given size.
[[nodiscard]] RECT windowRectForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

// The system's message font (the one dialogs use) at dpi.
[[nodiscard]] LOGFONTW messageFontForDpi(UINT dpi);

// A system metric (icon sizes) at dpi.
[[nodiscard]] int systemMetricForDpi(int index, UINT dpi);

}  // namespace kelvra::frontend
