// The front end's window as a user meets it: found by its title, and the question
// it asks when closed answered. Shared by the helper program and the tests.
#pragma once

#include <windows.h>

#include <cwchar>

namespace front_end_window {

struct Search {
  const wchar_t* title;
  DWORD processId;  // 0: any process
  HWND found;
};

inline BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (!IsWindowVisible(window) || std::wcscmp(title, search->title) != 0 ||
      (search->processId != 0 && owner != search->processId)) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

// A message box the window owns.
inline BOOL CALLBACK matchQuestion(HWND candidate, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  wchar_t className[16] = {};
  GetClassNameW(candidate, className, 16);
  if (!IsWindowVisible(candidate) || std::wcscmp(className, L"#32770") != 0 ||
      GetWindow(candidate, GW_OWNER) != search->found) {
    return TRUE;
  }
  search->found = candidate;
  return FALSE;
}

}  // namespace front_end_window

// The visible top-level window with this title (of processId, unless 0); null when
// none appeared within timeoutMs.
inline HWND waitForWindow(const wchar_t* title, DWORD processId, ULONGLONG timeoutMs) {
  front_end_window::Search search{title, processId, nullptr};
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (search.found == nullptr && GetTickCount64() < deadline) {
    EnumWindows(front_end_window::matchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(50);
  }
  return search.found;
}

// Clicks button (IDYES, IDNO) in the question window shows; false when it shows none.
inline bool answerQuestion(HWND window, int button) {
  front_end_window::Search search{nullptr, 0, window};
  EnumWindows(front_end_window::matchQuestion, reinterpret_cast<LPARAM>(&search));
  if (search.found == window) return false;
  PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return true;
}
