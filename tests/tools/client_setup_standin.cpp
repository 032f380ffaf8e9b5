// Stands in for the client's setup program, which lies outside this system: it
// records how it was started, can "install" the client the way the real setup
// does (registry entries and an executable), and exits with the code it is told.
// A windows program, as the real setup is: a console one would make Wine open a
// console window, which takes the foreground and makes the front end step aside.
// Settings come from the environment, which reaches it through the bootstrapper
// and the front end:
//   KELVRA_SETUP_RECORD   file to append one JSON line to: {"commandLine": ..., "exe": ..., "cwd": ...}
//   KELVRA_SETUP_WAIT_FOR  wait until this file exists (at most two minutes; else exit 91),
//                         so that the front end's page during the setup can be seen
//   KELVRA_SETUP_INSTALL  "1": write the client's registry entries and KelvraClient.exe
//   KELVRA_SETUP_CLIENT_DIR  where to put the client (default C:\Program Files\ZAV Kelvra)
//   KELVRA_SETUP_EXIT     exit code (default 0)
// Record, wait, install, exit code: in this order.
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/test_registry.h"
#include "tool_support.h"

using namespace kelvra::base;

namespace {

// The command line without the program's own name.
std::wstring argumentsOf(const std::wstring& commandLine) {
  std::size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    i = commandLine.find(L'"', 1);
    i = i == std::wstring::npos ? commandLine.size() : i + 1;
  } else {
    while (i < commandLine.size() && commandLine[i] != L' ') ++i;
  }
  while (i < commandLine.size() && commandLine[i] == L' ') ++i;
  return commandLine.substr(i);
}

void record(const std::wstring& path) {
  wchar_t cwd[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, cwd);
  const std::string line = "{\"commandLine\": " + jsonString(argumentsOf(GetCommandLineW())) +
                           ", \"exe\": " + jsonString(ownPath()) + ", \"cwd\": " + jsonString(cwd) + "}\n";
  FILE* out = _wfopen(path.c_str(), L"ab");
  if (out == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), out);
  std::fclose(out);
}

bool installClient() {
  const std::wstring folder = environment(L"KELVRA_SETUP_CLIENT_DIR").value_or(L"C:\\Program Files\\ZAV Kelvra");
  CreateDirectoryW(folder.c_str(), nullptr);
  if (!CopyFileW(ownPath().c_str(), (folder + L"\\KelvraClient.exe").c_str(), FALSE)) return false;
  try {
    setRegistryString(L"Software\\ZAVsoft\\KelvraClient\\paths", L"client", folder);
    setRegistryString(L"Software\\ZAVsoft\\KelvraClient", L"clientExecutable", L"KelvraClient.exe");
    setRegistryString(L"Software\\ZAVsoft\\KelvraClient", L"version", L"2.1.0");
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (const auto path = environment(L"KELVRA_SETUP_RECORD")) record(*path);
  if (const auto path = environment(L"KELVRA_SETUP_WAIT_FOR"); path && !waitForFile(*path)) return 91;
  if (environment(L"KELVRA_SETUP_INSTALL") == L"1" && !installClient()) return 90;
  return static_cast<int>(std::wcstol(environment(L"KELVRA_SETUP_EXIT").value_or(L"0").c_str(), nullptr, 10));
}
