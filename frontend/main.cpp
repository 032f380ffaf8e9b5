// The installer front end's entry point. For now it only opens its window, titled
// from its own English strings, and ends with 0 when the window is closed.
#include <windows.h>

#include <string>
#include <string_view>

#include "frontend_strings.h"

namespace {

constexpr wchar_t kWindowClass[] = L"KelvraWebInstallerWindow";

// The id of key's string in every string table, or 0 for a key that has none.
unsigned findStringId(std::wstring_view key) {
  for (const FrontEndStringKey& entry : kFrontEndStringKeys) {
    if (key == entry.key) return entry.id;
  }
  return 0;
}

std::wstring_view loadString(HINSTANCE module, std::wstring_view key) {
  const wchar_t* text = nullptr;
  // A length of 0 asks for a pointer into the resource itself, which is not
  // terminated; the return value is its length.
  const int length = LoadStringW(module, findStringId(key), reinterpret_cast<wchar_t*>(&text), 0);
  return length > 0 ? std::wstring_view(text, static_cast<std::size_t>(length)) : std::wstring_view();
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassExW(&windowClass) == 0) return 1;

  const std::wstring title(loadString(instance, L"zavKelvra"));
  HWND window = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
