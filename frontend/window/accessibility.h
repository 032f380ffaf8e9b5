// What the window tells assistive technology and the keyboard beyond what its
// standard controls tell on their own: names that nothing draws, the announcement
// of a label or a progress bar that changes, visible focus, and where the focus
// goes when a page shows.
#pragma once

#include <windows.h>

#include <string>

namespace kelvra::frontend {

// The text a control holds, as a screen reader reads it.
std::wstring windowText(HWND control);

// Shows text in control; when it changed, announces the new name as Windows does
// for a live region. False when the control showed that text already.
bool showText(HWND control, const std::wstring& text);

// The name a screen reader speaks for a control that draws no text of its own (a
// progress bar): Windows takes it from the label before the control, Wine from the
// control's window text alone.
void nameControl(HWND control, const std::wstring& name);

// A link's window text is its markup, which Wine's accessibility layer reads out
// as it is; once the link has parsed it, the stored text becomes what it shows.
void nameLink(HWND link, const std::wstring& visible);

// Announces that a progress bar's value changed.
void announceValueChange(HWND control);

// Focus rectangles always drawn, not only after the first key press.
void showFocusCues(HWND window);

// Moves the keyboard focus to control unless it is on control's page already; only
// while window is the active window, so that a window in the background does not
// take the focus from another program.
void focusOnPage(HWND window, HWND control);

}  // namespace kelvra::frontend
