// The front end's window as a user meets it: found by its title, and the question
// it asks when closed answered. Shared by the helper program and the tests.
#pragma once

#include <windows.h>

#include <cwchar>

// A visible window titled title (of processId, unless 0), or else a box owner owns.
struct WindowSearch {
  const wchar_t* title;
  DWORD processId;
  HWND owner;
  HWND found = nullptr;
};

inline BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t text[256] = {};
  if (search->title == nullptr) {
    GetClassNameW(window, text, 256);
  } else {
    GetWindowTextW(window, text, 256);
  }
  const bool matches =
      search->title == nullptr
          ? std::wcscmp(text, L"#32770") == 0 && GetWindow(window, GW_OWNER) == search->owner
          : std::wcscmp(text, search->title) == 0 && (search->processId == 0 || process == search->processId);
  if (!IsWindowVisible(window) || !matches) return TRUE;
  search->found = window;
  return FALSE;
}

// The window titled title (of processId, unless 0); null when none appeared in time.
inline HWND waitForWindow(const wchar_t* title, DWORD processId, ULONGLONG timeoutMs) {
  WindowSearch search{title, processId, nullptr};
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (search.found == nullptr && GetTickCount64() < deadline) {
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(50);
  }
  return search.found;
}

// Clicks button (IDYES, IDNO) in the question window shows; false when it shows none.
inline bool answerQuestion(HWND window, int button) {
  WindowSearch search{nullptr, 0, window};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  if (search.found != nullptr) PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return search.found != nullptr;
}
