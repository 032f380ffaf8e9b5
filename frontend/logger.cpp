#include "logger.h"

#include <windows.h>

#include <shlobj.h>

#include "base/log_location.h"
#include "base/scoped_handle.h"
#include "base/utf8.h"

namespace kelvra::frontend {

namespace {

constexpr wchar_t kFrontEndLogName[] = L"InstallerWebinstaller.log";

// The user's default short date and long time, as the user's clock shows them.
std::wstring localDateTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128, nullptr);
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, time, 128);
  return std::wstring(date) + L" " + time;
}

// The words the front end's log has always used for its levels.
const wchar_t* levelName(base::LogLevel level) {
  switch (level) {
    case base::LogLevel::warning:
      return L"warning";
    case base::LogLevel::error:
      return L"error";
    case base::LogLevel::info:
      break;
  }
  return L"information";
}

}  // namespace

Logger::Logger(std::wstring productId) : productId_(std::move(productId)) {}

std::wstring Logger::logFolder() {
  wchar_t commonData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, commonData))) {
    return L"C:\\ProgramData\\ZAVsoft\\Kelvra\\logs\\";
  }
  return std::wstring(commonData) + L"\\ZAVsoft\\Kelvra\\logs\\";
}

std::wstring Logger::logPath(bool bootstrapperLog) {
  return logFolder() + (bootstrapperLog ? base::kLogFileName : kFrontEndLogName);
}

void Logger::log(const std::wstring& message, base::LogLevel level) {
  const std::string line = base::toUtf8(L"[" + localDateTimeText() + L"] [" + levelName(level) + L"] " + message + L"\r\n");
  std::lock_guard lock(mutex_);
  const std::wstring folder = logFolder();
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  // Opened per line and shared, so that the bootstrapper and a problem report can
  // read the file while the front end runs.
  base::ScopedFileHandle file(CreateFileW((folder + kFrontEndLogName).c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace kelvra::frontend
