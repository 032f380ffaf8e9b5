// Shows one of the bootstrapper's notices through its own code, so that tests can
// see every notice in every language as a user would.
//   show_notice.exe unsupported-windows|net-missing|already-running|installation-error|start-failure [CODE]
//   show_notice.exe language      prints the message language code and the UI LANGID
// A leading "--ui-language 0xNNNN" sets the UI language first, for languages that
// Wine can't take from the Unix locale (Traditional Chinese, 0x7C04).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "notices/notices.h"

using namespace kelvra::notices;

namespace {

// Wine has no Unix locale for the neutral Traditional Chinese UI language, so the
// tool patches GetUserDefaultUILanguage in its own process to answer with the
// language asked for: the stand-in for a Windows set to that language.
bool setUiLanguage(LANGID language) {
  const auto target = reinterpret_cast<unsigned char*>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetUserDefaultUILanguage")));
  if (target == nullptr) return false;
  // mov eax, language; ret
  const unsigned char code[] = {
      0xB8, static_cast<unsigned char>(language & 0xFF), static_cast<unsigned char>(language >> 8), 0x00, 0x00, 0xC3};
  DWORD oldProtection = 0;
  if (!VirtualProtect(target, sizeof code, PAGE_EXECUTE_READWRITE, &oldProtection)) return false;
  std::memcpy(target, code, sizeof code);
  VirtualProtect(target, sizeof code, oldProtection, &oldProtection);
  FlushInstructionCache(GetCurrentProcess(), target, sizeof code);
  return GetUserDefaultUILanguage() == language;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 2 && std::wstring(argv[1]) == L"--ui-language") {
    if (!setUiLanguage(static_cast<LANGID>(std::wcstoul(argv[2], nullptr, 0)))) return 3;
    argc -= 2;
    argv += 2;
  }
  if (argc < 2) return 2;
  const std::wstring notice = argv[1];
  if (notice == L"language") {
    std::printf("%d 0x%04x\n", chooseMessageLanguage(), GetUserDefaultUILanguage());
    return 0;
  }
  if (notice == L"unsupported-windows")
    showUnsupportedWindowsNotice();
  else if (notice == L"net-missing")
    showNetMissingNotice();
  else if (notice == L"already-running")
    showAlreadyRunningNotice();
  else if (notice == L"installation-error")
    showInstallationErrorNotice();
  else if (notice == L"start-failure")
    showStartFailureNotice(static_cast<std::uint32_t>(std::wcstoul(argc > 2 ? argv[2] : L"0", nullptr, 0)));
  else
    return 2;
  return 0;
}
