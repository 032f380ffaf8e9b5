// Stands in for the user at the front end's window: waits for a visible top-level
// window with the given title, reports it and closes it when told to.
//   front_end_window <title> <timeout ms>
// Prints "shown" once the window is there, then, when standard input ends, posts
// WM_CLOSE to it and, as a user would, answers Yes when the front end asks first
// (it does while it starts up or downloads); prints "closed". Exit code 0, or 1
// (after printing "timeout") when no such window appeared in time.
#include "front_end_window.h"

#include <cstdio>
#include <cwchar>

#include "tool_support.h"

namespace {

// Closes the window and confirms, until it is gone or 10 seconds have passed.
void closeAndConfirm(HWND window) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (IsWindow(window) && GetTickCount64() < deadline) {
    answerQuestion(window, IDYES);
    Sleep(100);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const HWND window = waitForWindow(argv[1], 0, std::wcstoul(argv[2], nullptr, 10));
  if (window == nullptr) {
    std::puts("timeout");
    return 1;
  }
  reportAndWaitForInputEnd("shown");
  closeAndConfirm(window);
  std::puts("closed");
  return 0;
}
