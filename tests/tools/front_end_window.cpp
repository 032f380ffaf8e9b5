// Stands in for the user at the front end's window: waits for a visible top-level
// window with the given title, reports it and closes it when told to.
//   front_end_window <title> <timeout ms>
// Prints "shown" once the window is there, then, when standard input ends, posts
// WM_CLOSE to it and prints "closed". Exit code 0, or 1 (after printing "timeout")
// when no such window appeared in time.
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
  PostMessageW(search.window, WM_CLOSE, 0, 0);
  std::puts("closed");
  return 0;
}
