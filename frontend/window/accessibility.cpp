#include "window/accessibility.h"

namespace kelvra::frontend {

std::wstring windowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool showText(HWND control, const std::wstring& text) {
  if (windowText(control) == text) return false;
  SetWindowTextW(control, text.c_str());
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
  return true;
}

void nameControl(HWND control, const std::wstring& name) {
  if (windowText(control) != name) SetWindowTextW(control, name.c_str());
}

// DefWindowProcW stores the text without passing it to the link, which keeps the
// link it parsed from its markup.
void nameLink(HWND link, const std::wstring& visible) {
  DefWindowProcW(link, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(visible.c_str()));
}

void announceValueChange(HWND control) {
  NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}

void showFocusCues(HWND window) { SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0); }

void focusOnPage(HWND window, HWND control) {
  if (control == nullptr || GetForegroundWindow() != window) return;
  const HWND page = GetParent(control);
  const HWND focus = GetFocus();
  if (focus == control || (focus != nullptr && GetParent(focus) == page)) return;
  SetFocus(control);
}

}  // namespace kelvra::frontend
