// Stands in for the user at the front end's window: waits for a visible top-level
// window with the given title, reports it and closes it when told to.
//   front_end_window <title> <timeout ms>
// Prints "shown" once the window is there, then, when standard input ends, posts
// WM_CLOSE to it and, as a user would, answers Yes when the front end asks first
// (it does while it starts up or downloads); prints "closed". Exit code 0, or 1
// (after printing "timeout") when no such window appeared in time.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
  const wchar_t* title;
  HWND window;
};

BOOL CALLBACK findWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (!IsWindowVisible(window) || std::wcscmp(title, search->title) != 0) return TRUE;
  search->window = window;
  return FALSE;
}

// The front end's question, a message box that its window owns.
BOOL CALLBACK findQuestion(HWND candidate, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  wchar_t className[16] = {};
  GetClassNameW(candidate, className, 16);
  if (!IsWindowVisible(candidate) || std::wcscmp(className, L"#32770") != 0 ||
      GetWindow(candidate, GW_OWNER) != search->window) {
    return TRUE;
  }
  PostMessageW(candidate, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  return FALSE;
}

// Closes the window and confirms, until it is gone or 10 seconds have passed.
void closeAndConfirm(HWND window, const wchar_t* title) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (IsWindow(window) && GetTickCount64() < deadline) {
    Search question{title, window};
    EnumWindows(findQuestion, reinterpret_cast<LPARAM>(&question));
    Sleep(100);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  Search search{argv[1], nullptr};
  const ULONGLONG deadline = GetTickCount64() + std::wcstoul(argv[2], nullptr, 10);
  while (search.window == nullptr && GetTickCount64() < deadline) {
    EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
    if (search.window == nullptr) Sleep(50);
  }
  if (search.window == nullptr) {
    std::puts("timeout");
    return 1;
  }
  std::puts("shown");
  std::fflush(stdout);
  char line[64];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
  }
  closeAndConfirm(search.window, argv[1]);
  std::puts("closed");
  return 0;
}
