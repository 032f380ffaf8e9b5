// A stand-in for the installer front end in tests: exits with the code it is told,
// and on request reports how it was started, copies the folder it runs from and
// installs a client the way the client's setup would. See standin_frontend.h.
#include "standin_frontend.h"

#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "support/test_registry.h"
#include "tool_support.h"

using namespace kelvra::base;

namespace {

DWORD parentProcessId() {
  // A snapshot fails as INVALID_HANDLE_VALUE, like a file.
  const ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) return entry.th32ParentProcessID;
  }
  return 0;
}

// Who started us: the parent's id and program.
std::string parentReport() {
  const DWORD parentId = parentProcessId();
  std::wstring executable;
  if (const ScopedKernelHandle parent(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, parentId));
      parentId != 0 && parent) {
    wchar_t path[32768] = {};
    DWORD length = 32768;
    if (QueryFullProcessImageNameW(parent.get(), 0, path, &length)) executable.assign(path, length);
  }
  return "parentProcessId=" + std::to_string(parentId) + "\n" + "parentExecutable=" + toUtf8(executable) + "\n";
}

bool writeReport(const std::wstring& reportPath) {
  wchar_t directory[32768] = {};
  const DWORD directoryLength = GetCurrentDirectoryW(32768, directory);
  std::string report = "processId=" + std::to_string(GetCurrentProcessId()) + "\n";
  report += "executable=" + toUtf8(ownPath()) + "\n";
  report += "currentDirectory=" + toUtf8(std::wstring(directory, directoryLength)) + "\n";
  report += "commandLine=" + toUtf8(GetCommandLineW()) + "\n";
  int count = 0;
  if (LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
    const ScopedLocalMemory owned(arguments);
    for (int i = 1; i < count; ++i) report += "argument=" + toUtf8(arguments[i]) + "\n";
  }
  report += parentReport();
  // Written aside and renamed, so that whoever waits for the report never reads half of it.
  const std::wstring partialPath = reportPath + L".partial";
  FILE* file = _wfopen(partialPath.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(report.data(), 1, report.size(), file) == report.size();
  return std::fclose(file) == 0 && written &&
         MoveFileExW(partialPath.c_str(), reportPath.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Win32 calls rather than std::filesystem::copy, which fails on directories
// under Wine with this runtime.
bool copyFolder(const std::wstring& source, const std::wstring& target) {
  if (!CreateDirectoryW(target.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  WIN32_FIND_DATAW entry = {};
  const ScopedFindHandle search(FindFirstFileW((source + L"\\*").c_str(), &entry));
  if (!search) return false;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring from = source + L"\\" + name;
    const std::wstring to = target + L"\\" + name;
    const bool copied = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                            ? copyFolder(from, to)
                            : CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
    if (!copied) return false;
  } while (FindNextFileW(search.get(), &entry));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

bool copyOwnFolder(const std::wstring& target) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(target), error);
  if (error) return false;
  const std::wstring own = ownPath();
  return copyFolder(own.substr(0, own.find_last_of(L'\\')), target);
}

bool installClient(const std::wstring& folder, const std::wstring& layout) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder), error);
  if (error) return false;
  if (!CopyFileW(ownPath().c_str(), (folder + L"\\KelvraClient.exe").c_str(), FALSE)) return false;
  const std::wstring root =
      layout == L"64" ? L"Software\\WOW6432Node\\ZAVsoft\\KelvraClient" : L"Software\\ZAVsoft\\KelvraClient";
  try {
    setRegistryString(root + L"\\paths", L"client", folder);
    setRegistryString(root, L"clientExecutable", L"KelvraClient.exe");
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (const auto report = environment(kStandinReportVariable); report && !writeReport(*report)) {
    return kStandinToolFailure;
  }
  if (const auto target = environment(kStandinCopyToVariable); target && !copyOwnFolder(*target)) {
    return kStandinToolFailure;
  }
  if (const auto path = environment(kStandinWaitForVariable); path && !waitForFile(*path)) {
    return kStandinToolFailure;
  }
  if (const auto folder = environment(kStandinClientFolderVariable);
      folder && !installClient(*folder, environment(kStandinClientLayoutVariable).value_or(L"32"))) {
    return kStandinToolFailure;
  }
  const auto code = environment(kStandinExitCodeVariable);
  return static_cast<int>(code ? std::wcstoul(code->c_str(), nullptr, 0) : 0);
}
