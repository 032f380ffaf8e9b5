// Stands in for the user at the installer front end's window (found by its class):
//   frontend_driver.exe state [TIMEOUT_MS]      prints the window as JSON (title, page, controls)
//   frontend_driver.exe wait-page PAGE TIMEOUT_MS   waits for the page, then prints the JSON
//   frontend_driver.exe press CONTROL           clicks buttonErrorExit or linkLabelError
//   frontend_driver.exe close                   asks the window to close, as its close box does
//   frontend_driver.exe screenshot OUT.bmp [PAGE TIMEOUT_MS]  saves what the screen shows of the
//                                               window (once it shows PAGE: a page that lasts
//                                               a moment is caught)
//   frontend_driver.exe show-page PAGE          shows one page in place of the current one (preview)
//   frontend_driver.exe run EXE [ARGS...]       starts EXE, prints "shown MS" once its window is
//                                               visible and "exit CODE" when it ends
//   frontend_driver.exe probe                   prints what a screen reader finds on the shown page as
//                                               JSON: the focus, and [MSAA name, role, value, tab
//                                               stop, whether the text fits] of each visible control
//   frontend_driver.exe key KEY                 posts KEY (escape, tab, return, alt-f4) to the
//                                               control that has the keyboard focus
//   frontend_driver.exe record FILE ARGS...     appends the arguments as one line to FILE (stands
//                                               in for the browser a link opens)
//   frontend_driver.exe responsive SECONDS      asks the window every 200 ms for SECONDS whether its
//                                               thread answers (WM_NULL, 1 s), prints "polling" once it
//                                               found the window, then "polls N failed M"
//   frontend_driver.exe post MESSAGE WPARAM LPARAM  posts a message to the window, as any other
//                                               program on the desktop can (decimal or 0x hex)
// Window text is read without sending messages, so a window whose thread is busy
// can still be described. Exit code 0, 1 when the window or page did not appear,
// 2 on wrong usage.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "tool_support.h"
#include "window/dpi.h"
#include "window/window_ids.h"

using namespace kelvra::base;
using namespace kelvra::frontend;

namespace {

constexpr UINT kMessageTimeoutMs = 2000;
// A window whose thread takes longer than this to answer counts as hung: Windows
// itself marks a window "Not Responding" after 5 seconds.
constexpr UINT kAnswerTimeoutMs = 1000;
constexpr DWORD kPollIntervalMs = 200;

// The text Windows keeps for the window, read without asking its thread.
std::wstring storedText(HWND window) {
  wchar_t text[4096] = {};
  InternalGetWindowText(window, text, 4096);
  return text;
}

HWND findFrontEnd(DWORD processId) {
  HWND found = nullptr;
  while ((found = FindWindowExW(nullptr, found, kWindowClassName, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(found, &owner);
    if (processId == 0 || owner == processId) return found;
  }
  return nullptr;
}

HWND waitForWindow(DWORD timeoutMs, DWORD processId = 0) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    HWND window = findFrontEnd(processId);
    if (window != nullptr && IsWindowVisible(window)) return window;
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(25);
  }
}

// The window, or none after saying "timeout".
HWND windowOrTimeout(DWORD timeoutMs) {
  HWND window = waitForWindow(timeoutMs);
  if (window == nullptr) std::puts("timeout");
  return window;
}

const wchar_t* nameOf(HWND control) {
  const int id = GetDlgCtrlID(control);
  for (const ControlName& entry : kControlNames) {
    if (entry.id == id) return entry.name;
  }
  return L"";
}

std::vector<HWND> pagesOf(HWND window) {
  std::vector<HWND> pages;
  HWND page = nullptr;
  while ((page = FindWindowExW(window, page, kPageClassName, nullptr)) != nullptr) pages.push_back(page);
  return pages;
}

// Pages carry no text (a screen reader would read it): they are known by their ids.
std::wstring visiblePage(HWND window) {
  for (HWND page : pagesOf(window)) {
    if (IsWindowVisible(page)) return nameOf(page);
  }
  return L"";
}

HWND findControl(HWND window, const std::wstring& name) {
  for (HWND page : pagesOf(window)) {
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if (name == nameOf(child)) return child;
    }
  }
  return nullptr;
}

std::string rectJson(HWND window, HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  char text[96];
  std::snprintf(text, sizeof text, "[%ld, %ld, %ld, %ld]", rect.left, rect.top, rect.right, rect.bottom);
  return text;
}

LRESULT askWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result)) return 0;
  return static_cast<LRESULT>(result);
}

UINT dpiOf(HWND window) {
  using Function = UINT(WINAPI*)(HWND);
  const auto getDpiForWindow = reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return getDpiForWindow != nullptr ? getDpiForWindow(window) : 96;
}

void printState(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  std::string json =
      "{\"title\": " + jsonString(storedText(window)) + ", \"page\": " + jsonString(visiblePage(window)) +
      ", \"visible\": " + (IsWindowVisible(window) ? "true" : "false") +
      ", \"minimized\": " + (IsIconic(window) ? "true" : "false") + ", \"dpi\": " + std::to_string(dpiOf(window)) +
      ", \"client\": [" + std::to_string(client.right) + ", " + std::to_string(client.bottom) + "], \"controls\": {";
  bool first = true;
  for (HWND page : pagesOf(window)) {
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!first) json += ", ";
      first = false;
      json += jsonString(nameOf(child)) + ": {\"page\": " + jsonString(nameOf(page)) +
              ", \"class\": " + jsonString(className(child)) + ", \"text\": " + jsonString(storedText(child)) +
              ", \"visible\": " + (IsWindowVisible(child) ? "true" : "false") +
              ", \"rect\": " + rectJson(window, child);
      if (GetDlgCtrlID(child) == idProgressBarDownload) {
        json += ", \"position\": " + std::to_string(askWindow(child, PBM_GETPOS, 0, 0));
      }
      if (className(child) == PROGRESS_CLASSW) {
        const bool marquee = (GetWindowLongW(child, GWL_STYLE) & PBS_MARQUEE) != 0;
        json += std::string(", \"marquee\": ") + (marquee ? "true" : "false");
      }
      json += "}";
    }
  }
  json += "}}";
  std::puts(json.c_str());
}

int state(DWORD timeoutMs) {
  HWND window = windowOrTimeout(timeoutMs);
  if (window == nullptr) return 1;
  printState(window);
  return 0;
}

int waitPage(const std::wstring& page, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    HWND window = findFrontEnd(0);
    if (window != nullptr && IsWindowVisible(window) && visiblePage(window) == page) {
      // Let the page finish painting before anyone looks at it.
      Sleep(200);
      printState(window);
      return 0;
    }
    if (GetTickCount64() >= deadline) {
      std::puts("timeout");
      return 1;
    }
    Sleep(25);
  }
}

int press(const std::wstring& name) {
  HWND window = waitForWindow(kMessageTimeoutMs);
  HWND control = window == nullptr ? nullptr : findControl(window, name);
  if (control == nullptr || !IsWindowVisible(control)) {
    std::puts("no such control");
    return 1;
  }
  if (className(control) == WC_BUTTONW) {
    PostMessageW(control, BM_CLICK, 0, 0);
  } else {
    // A link follows the mouse: press and release over its middle.
    RECT rect = {};
    GetClientRect(control, &rect);
    const LPARAM middle = MAKELPARAM((rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageW(control, WM_LBUTTONUP, 0, middle);
  }
  std::puts("pressed");
  return 0;
}

int close() {
  HWND window = windowOrTimeout(kMessageTimeoutMs);
  if (window == nullptr) return 1;
  PostMessageW(window, WM_CLOSE, 0, 0);
  std::puts("closed");
  return 0;
}

int showPage(const std::wstring& name) {
  HWND window = waitForWindow(kMessageTimeoutMs);
  if (window == nullptr) return 1;
  bool found = false;
  for (HWND page : pagesOf(window)) {
    const bool chosen = nameOf(page) == name;
    found = found || chosen;
    ShowWindow(page, chosen ? SW_SHOW : SW_HIDE);
  }
  std::puts(found ? "shown" : "no such page");
  return found ? 0 : 1;
}

bool writeAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

int screenshot(const std::wstring& path) {
  HWND window = waitForWindow(kMessageTimeoutMs);
  if (window == nullptr) return 1;
  SetForegroundWindow(window);
  Sleep(300);
  RECT frame = {};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up rows, as BMP files keep them
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
  const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                             reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) return 1;

  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 1;
  const bool written = writeAll(file.get(), &header, sizeof header) && writeAll(file.get(), &info, sizeof info) &&
                       writeAll(file.get(), pixels.data(), static_cast<DWORD>(pixels.size()));
  // Closed before "saved", which tells the test the file is complete.
  file.reset();
  std::puts(written ? "saved" : "not saved");
  return written ? 0 : 1;
}

// Polls until seconds have passed or the window is gone; a poll fails when the
// window's thread does not take the message within kAnswerTimeoutMs.
int responsive(DWORD seconds) {
  HWND window = windowOrTimeout(kMessageTimeoutMs);
  if (window == nullptr) return 1;
  std::puts("polling");
  std::fflush(stdout);
  const ULONGLONG deadline = GetTickCount64() + seconds * 1000ull;
  unsigned polls = 0;
  unsigned failed = 0;
  while (GetTickCount64() < deadline && IsWindow(window)) {
    DWORD_PTR result = 0;
    ++polls;
    // Windows marks only a window it shows "Not Responding". Wine hides a window
    // first when it destroys it, then its X11 driver waits 2 s for a window
    // manager's answer that the bench's X server never gives.
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result) &&
        IsWindowVisible(window)) {
      ++failed;
    }
    Sleep(kPollIntervalMs);
  }
  std::printf("polls %u failed %u\n", polls, failed);
  return 0;
}

int post(const wchar_t* message, const wchar_t* wParam, const wchar_t* lParam) {
  HWND window = windowOrTimeout(kMessageTimeoutMs);
  if (window == nullptr) return 1;
  const auto number = [](const wchar_t* text) { return std::wcstoull(text, nullptr, 0); };
  if (!PostMessageW(window, static_cast<UINT>(number(message)), static_cast<WPARAM>(number(wParam)),
                    static_cast<LPARAM>(number(lParam)))) {
    std::printf("not posted %lu\n", GetLastError());
    return 1;
  }
  std::puts("posted");
  return 0;
}

// ---- What a screen reader and the keyboard find ----

struct ComSession {
  ComSession() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComSession() { CoUninitialize(); }
  ComSession(const ComSession&) = delete;
  ComSession& operator=(const ComSession&) = delete;
};

std::wstring takeText(BSTR text) {
  std::wstring taken = text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
  SysFreeString(text);
  return taken;
}

// The control's MSAA object as oleacc builds it for any client: [name, role, value, ...],
// left open for the caller's columns.
std::string accessibleJson(HWND control) {
  IAccessible* object = nullptr;
  // __uuidof: oleacc's import library names IID_IAccessible too, as a function.
  if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object)))) {
    return "[null, null, null";
  }
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  BSTR value = nullptr;
  VARIANT role = {};
  (void)object->get_accName(self, &name);
  (void)object->get_accValue(self, &value);
  (void)object->get_accRole(self, &role);
  object->Release();
  wchar_t roleText[64] = {};
  if (role.vt == VT_I4) GetRoleTextW(static_cast<DWORD>(role.lVal), roleText, 64);
  return "[" + jsonString(takeText(name)) + ", " + jsonString(roleText) + ", " + jsonString(takeText(value));
}

// Whether the control's text fits its box in the system's message font at the window's
// DPI (the lead lines a third larger, as the front end draws them): wrapped for labels,
// on one line for the button and the link.
bool textFits(HWND control, UINT dpi) {
  if (className(control) == PROGRESS_CLASSW) return true;  // its name is never drawn
  LOGFONTW font = messageFontForDpi(dpi);
  const int id = GetDlgCtrlID(control);
  if (id == idLabelWelcome || id == idLabelWaitEnd) font.lfHeight = MulDiv(font.lfHeight, 13, 10);
  const ScopedFont drawn(CreateFontIndirectW(&font));
  RECT box = {};
  GetClientRect(control, &box);
  const std::wstring text = storedText(control);
  HDC dc = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, drawn.get());
  RECT needed = {0, 0, box.right, 0};
  const bool wraps = className(control) == WC_STATICW;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
            DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return needed.right <= box.right && needed.bottom <= box.bottom;
}

int probe() {
  HWND window = windowOrTimeout(kMessageTimeoutMs);
  if (window == nullptr) return 1;
  const ComSession com;
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
  std::string json = "{\"page\": " + jsonString(visiblePage(window)) +
                     ", \"focus\": " + jsonString(thread.hwndFocus == window ? L"window" : nameOf(thread.hwndFocus)) +
                     ", \"controls\": {";
  for (HWND page : pagesOf(window)) {
    if (!IsWindowVisible(page)) continue;
    json += "\"page\": " + accessibleJson(page) + "]";
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowVisible(child)) continue;
      const bool tabStop = (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) != 0;
      json += ", " + jsonString(nameOf(child)) + ": " + accessibleJson(child) + ", " + (tabStop ? "true" : "false") +
              ", " + (textFits(child, dpiOf(window)) ? "true" : "false") + "]";
    }
  }
  json += "}}";
  std::puts(json.c_str());
  return 0;
}

// Posted, as the keyboard's messages are, to the window that has the focus, so that
// they pass the front end's message loop and its dialog keys.
int key(const std::wstring& name) {
  HWND window = windowOrTimeout(kMessageTimeoutMs);
  if (window == nullptr) return 1;
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
  HWND target = thread.hwndFocus != nullptr ? thread.hwndFocus : window;
  const struct {
    const wchar_t* name;
    WPARAM key;
    bool alt;
  } keys[] = {
      {L"escape", VK_ESCAPE, false}, {L"tab", VK_TAB, false}, {L"return", VK_RETURN, false}, {L"alt-f4", VK_F4, true}};
  for (const auto& each : keys) {
    if (name != each.name) continue;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(each.key), MAPVK_VK_TO_VSC)) << 16;
    const LPARAM alt = each.alt ? static_cast<LPARAM>(KF_ALTDOWN) << 16 : 0;
    PostMessageW(target, each.alt ? WM_SYSKEYDOWN : WM_KEYDOWN, each.key, 1 | scan | alt);
    PostMessageW(target, each.alt ? WM_SYSKEYUP : WM_KEYUP, each.key, 1 | scan | alt | (3LL << 30));
    std::puts("posted");
    return 0;
  }
  return 2;
}

std::wstring quoted(const std::wstring& argument) { return L"\"" + argument + L"\""; }

int run(int argc, wchar_t** argv) {
  std::wstring commandLine = quoted(argv[2]);
  for (int i = 3; i < argc; ++i) commandLine += L" " + quoted(argv[i]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const ULONGLONG started = GetTickCount64();
  if (!CreateProcessW(argv[2], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::printf("not started %lu\n", GetLastError());
    return 1;
  }
  const ScopedKernelHandle thread(process.hThread);
  const ScopedKernelHandle child(process.hProcess);
  for (;;) {
    if (waitForWindow(0, process.dwProcessId) != nullptr) {
      std::printf("shown %llu\n", GetTickCount64() - started);
      break;
    }
    if (WaitForSingleObject(child.get(), 10) == WAIT_OBJECT_0) {
      std::puts("never shown");
      break;
    }
  }
  std::fflush(stdout);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.get(), &code);
  std::printf("exit %ld\n", static_cast<long>(code));
  return 0;
}

int record(int argc, wchar_t** argv) {
  std::wstring line;
  for (int i = 3; i < argc; ++i) line += (i > 3 ? L" " : L"") + std::wstring(argv[i]);
  const std::string bytes = toUtf8(line) + "\n";
  const ScopedFileHandle file(
      CreateFileW(argv[2], FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 1;
  return writeAll(file.get(), bytes.data(), static_cast<DWORD>(bytes.size())) ? 0 : 1;
}

// Coordinates in physical pixels, as the per-monitor aware front end has them.
void becomeDpiAware() {
  using Function = BOOL(WINAPI*)(HANDLE);
  const auto setAwareness = reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (setAwareness == nullptr || !setAwareness(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
    SetProcessDPIAware();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  becomeDpiAware();
  if (argc < 2) return 2;
  const std::wstring command = argv[1];
  int result = 2;
  if (command == L"state") {
    result = state(argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : kMessageTimeoutMs);
  } else if (command == L"wait-page" && argc == 4) {
    result = waitPage(argv[2], std::wcstoul(argv[3], nullptr, 10));
  } else if (command == L"press" && argc == 3) {
    result = press(argv[2]);
  } else if (command == L"close") {
    result = close();
  } else if (command == L"screenshot" && (argc == 3 || argc == 5)) {
    result = argc == 5 && waitPage(argv[3], std::wcstoul(argv[4], nullptr, 10)) != 0 ? 1 : screenshot(argv[2]);
  } else if (command == L"show-page" && argc == 3) {
    result = showPage(argv[2]);
  } else if (command == L"run" && argc >= 3) {
    result = run(argc, argv);
  } else if (command == L"responsive" && argc == 3) {
    result = responsive(std::wcstoul(argv[2], nullptr, 10));
  } else if (command == L"post" && argc == 5) {
    result = post(argv[2], argv[3], argv[4]);
  } else if (command == L"probe") {
    result = probe();
  } else if (command == L"key" && argc == 3) {
    result = key(argv[2]);
  } else if (command == L"record" && argc >= 3) {
    result = record(argc, argv);
  }
  std::fflush(stdout);
  return result;
}
