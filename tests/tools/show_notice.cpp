// Shows one of the bootstrapper's notices through its own code, so that tests can
// see every notice in every language as a user would.
//   show_notice.exe unsupported-windows|net-missing|already-running|installation-error|start-failure [CODE]
//   show_notice.exe language      prints the message language code and the UI LANGID
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "notices/notices.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring notice = argv[1];
  if (notice == L"language") {
    std::printf("%d 0x%04x\n", chooseMessageLanguage(), GetUserDefaultUILanguage());
    return 0;
  }
  if (notice == L"unsupported-windows") showUnsupportedWindowsNotice();
  else if (notice == L"net-missing") showNetMissingNotice();
  else if (notice == L"already-running") showAlreadyRunningNotice();
  else if (notice == L"installation-error") showInstallationErrorNotice();
  else if (notice == L"start-failure")
    showStartFailureNotice(static_cast<std::uint32_t>(std::wcstoul(argc > 2 ? argv[2] : L"0", nullptr, 0)));
  else return 2;
  return 0;
}
