// Waits for a message box, records what a user would see (caption, text, buttons,
// icon, owner) as JSON in a file, then presses OK or the button of BUTTON_ID
// (6 Yes, 7 No).
//   notice_watcher.exe OUT.json [TIMEOUT_MS] [BUTTON_ID]
// Exit code 0 when a box was seen and answered, 1 on time-out.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tool_support.h"

using namespace kelvra::base;

namespace {

struct Button {
  int id;
  std::wstring text;
};

struct SeenBox {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring body;
  std::vector<Button> buttons;
  bool warningIcon = false;
  bool owned = false;
};

std::wstring windowText(HWND window) {
  wchar_t text[4096] = {};
  GetWindowTextW(window, text, 4096);
  return text;
}

// Screen pixels of a rectangle, row by row.
std::vector<COLORREF> pixelsOf(HDC dc, int left, int top, int width, int height) {
  std::vector<COLORREF> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(dc, left + x, top + y));
  return pixels;
}

// How many pixels differ between what the box shows and a system icon drawn on the
// same background.
std::size_t differenceFrom(const std::vector<COLORREF>& shown, LPCWSTR systemIcon, int width, int height,
                           COLORREF background) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  HBRUSH brush = CreateSolidBrush(background);
  RECT all = {0, 0, width, height};
  FillRect(memory, &all, brush);
  DrawIconEx(memory, 0, 0, LoadIconW(nullptr, systemIcon), width, height, 0, nullptr, DI_NORMAL);
  const auto drawn = pixelsOf(memory, 0, 0, width, height);
  SelectObject(memory, old);
  DeleteObject(brush);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  std::size_t different = 0;
  for (std::size_t i = 0; i < shown.size() && i < drawn.size(); ++i) different += shown[i] != drawn[i];
  return different;
}

// Icon handles belong to the process that loaded them, so the icon is recognised
// by what the screen shows: it must match the warning icon and no other.
bool showsWarningIcon(HWND iconControl) {
  RECT rect;
  GetWindowRect(iconControl, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  const auto shown = pixelsOf(screen, rect.left, rect.top, width, height);
  ReleaseDC(nullptr, screen);
  const COLORREF background = shown.front();
  const std::size_t warning = differenceFrom(shown, IDI_WARNING, width, height, background);
  for (LPCWSTR other : {IDI_ERROR, IDI_INFORMATION, IDI_QUESTION}) {
    if (differenceFrom(shown, other, width, height, background) <= warning) return false;
  }
  return warning * 20 < shown.size();
}

BOOL CALLBACK findBox(HWND window, LPARAM found) {
  if (IsWindowVisible(window) && className(window) == L"#32770") {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK inspectChild(HWND child, LPARAM seenBox) {
  auto& box = *reinterpret_cast<SeenBox*>(seenBox);
  const std::wstring name = className(child);
  if (name == L"Button" && IsWindowVisible(child)) {
    box.buttons.push_back({GetDlgCtrlID(child), windowText(child)});
  } else if (name == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    box.warningIcon = showsWarningIcon(child);
  }
  return TRUE;
}

std::string toJson(const SeenBox& box) {
  std::string json = "{\"caption\": " + jsonString(box.caption) + ", \"body\": " + jsonString(box.body) +
                     ", \"warningIcon\": " + (box.warningIcon ? "true" : "false") +
                     ", \"owned\": " + (box.owned ? "true" : "false") + ", \"buttons\": [";
  for (std::size_t i = 0; i < box.buttons.size(); ++i) {
    if (i > 0) json += ", ";
    json += "{\"id\": " + std::to_string(box.buttons[i].id) + ", \"text\": " + jsonString(box.buttons[i].text) + "}";
  }
  return json + "]}\n";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const DWORD timeout = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 30000;
  const int button = argc > 3 ? _wtoi(argv[3]) : IDOK;
  const DWORD start = GetTickCount();
  SeenBox box;
  while (box.window == nullptr) {
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&box.window));
    if (box.window != nullptr) break;
    if (GetTickCount() - start > timeout) return 1;
    Sleep(50);
  }
  Sleep(300);  // let the box finish painting
  box.caption = windowText(box.window);
  box.body = windowText(GetDlgItem(box.window, 0xFFFF));
  box.owned = GetWindow(box.window, GW_OWNER) != nullptr;
  EnumChildWindows(box.window, inspectChild, reinterpret_cast<LPARAM>(&box));

  FILE* out = _wfopen(argv[1], L"wb");
  if (out == nullptr) return 2;
  const std::string json = toJson(box);
  std::fwrite(json.data(), 1, json.size(), out);
  std::fclose(out);

  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return 0;
}
