// A stand-in for the installer front end in tests: exits with the code it is told,
// and on request reports how it was started, copies the folder it runs from and
// installs a client the way the client's setup would. See standin_frontend.h.
#include "standin_frontend.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "driver/utf8.h"

namespace {

std::optional<std::wstring> environment(const wchar_t* name) {
  const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring value(length, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), length));
  return value;
}

std::wstring ownPath() {
  wchar_t path[32768] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  return std::wstring(path, length);
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
    for (int i = 1; i < count; ++i) report += "argument=" + toUtf8(arguments[i]) + "\n";
    LocalFree(arguments);
  }
  FILE* file = _wfopen(reportPath.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(report.data(), 1, report.size(), file) == report.size();
  return std::fclose(file) == 0 && written;
}

bool copyOwnFolder(const std::wstring& target) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(fs::path(target), error);
  if (error) return false;
  fs::copy(fs::path(ownPath()).parent_path(), fs::path(target),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
  return !error;
}

bool setString(const std::wstring& subKey, const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool installClient(const std::wstring& folder, const std::wstring& layout) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder), error);
  if (error) return false;
  if (!CopyFileW(ownPath().c_str(), (folder + L"\\KelvraClient.exe").c_str(), FALSE)) return false;
  const std::wstring root = layout == L"64" ? L"Software\\WOW6432Node\\ZAVsoft\\KelvraClient"
                                            : L"Software\\ZAVsoft\\KelvraClient";
  return setString(root + L"\\paths", L"client", folder) &&
         setString(root, L"clientExecutable", L"KelvraClient.exe");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (const auto report = environment(kStandinReportVariable); report && !writeReport(*report)) {
    return kStandinToolFailure;
  }
  if (const auto target = environment(kStandinCopyToVariable); target && !copyOwnFolder(*target)) {
    return kStandinToolFailure;
  }
  if (const auto folder = environment(kStandinClientFolderVariable);
      folder && !installClient(*folder, environment(kStandinClientLayoutVariable).value_or(L"32"))) {
    return kStandinToolFailure;
  }
  const auto code = environment(kStandinExitCodeVariable);
  return static_cast<int>(code ? std::wcstoul(code->c_str(), nullptr, 0) : 0);
}
