#include "program.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

// Common controls 6 (the manifest asks for them) draw with the system's visual style.
void enableVisualStyles() {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LINK_CLASS;
  InitCommonControlsEx(&controls);
}

}  // namespace

int Program::Main(HINSTANCE instance, int showCommand, std::vector<std::wstring> arguments,
                  FrontEndSettings settings) {
  enableVisualStyles();
  Window window(instance, std::move(arguments), std::move(settings), showCommand);
  if (!window.created()) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window.handle(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  window.logger().log(L"Exit complete", L"information");
  return window.exitCode();
}

std::vector<std::wstring> Program::CommandLineArguments() {
  int count = 0;
  LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  if (split == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(split[i]);
  LocalFree(split);
  return arguments;
}
