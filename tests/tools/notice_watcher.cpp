// Waits for a message box, records what a user would see (caption, text, buttons,
// icon, owner) as JSON in a file, then presses OK.
//   notice_watcher.exe OUT.json [TIMEOUT_MS]
// Exit code 0 when a box was seen and answered, 1 on time-out.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/utf8.h"

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

std::wstring className(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
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
    const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    box.warningIcon = icon != nullptr && icon == LoadIconW(nullptr, IDI_WARNING);
  }
  return TRUE;
}

std::string jsonString(const std::wstring& text) {
  std::string out = "\"";
  for (char c : toUtf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
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
  const DWORD start = GetTickCount();
  SeenBox box;
  while (box.window == nullptr) {
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&box.window));
    if (box.window != nullptr) break;
    if (GetTickCount() - start > timeout) return 1;
    Sleep(50);
  }
  Sleep(200);  // let the box finish laying out its controls
  box.caption = windowText(box.window);
  box.body = windowText(GetDlgItem(box.window, 0xFFFF));
  box.owned = GetWindow(box.window, GW_OWNER) != nullptr;
  EnumChildWindows(box.window, inspectChild, reinterpret_cast<LPARAM>(&box));

  FILE* out = _wfopen(argv[1], L"wb");
  if (out == nullptr) return 2;
  const std::string json = toJson(box);
  std::fwrite(json.data(), 1, json.size(), out);
  std::fclose(out);

  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}
