#include "platform/logger.h"

#include <windows.h>

#include <iterator>

#include "base/log_folder.h"
#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "contract/log_location.h"

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
    case base::LogLevel::warning: return L"warning";
    case base::LogLevel::error: return L"error";
    case base::LogLevel::info: break;
  }
  return L"information";
}

std::uint64_t fileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring environmentText(const wchar_t* name) {
  wchar_t value[MAX_PATH + 1] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  return std::wstring(value, length);
}

bool sameText(const std::wstring& left, const std::wstring& right) {
  return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                              static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

// A decimal size; zero (the whole file) for anything else.
std::uint64_t parseStart(const std::wstring& text) {
  if (text.empty() || text.size() > 19) return 0;
  std::uint64_t value = 0;
  for (const wchar_t digit : text) {
    if (digit < L'0' || digit > L'9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(digit - L'0');
  }
  return value;
}

}  // namespace

Logger::Logger(std::wstring productId) : productId_(std::move(productId)) {}

std::wstring Logger::logFolder() { return std::wstring(contract::kLogRoot) + L"\\" + contract::kLogSubfolders + L"\\"; }

std::wstring Logger::logPath(bool bootstrapperLog) {
  return logFolder() + (bootstrapperLog ? contract::kLogFileName : kFrontEndLogName);
}

void Logger::chooseFolder() {
  chosen_ = true;
  base::LogFolderOpening shared = base::openLogFolder(contract::kLogRoot, contract::kLogSubfolders);
  std::wstring refusal = shared.refusal;
  if (refusal.empty()) refusal = base::logFileRefusal(logPath(false));
  if (refusal.empty()) {
    heldFolders_ = std::move(shared.heldFolders);
    folder_ = logFolder();
  } else {
    folder_ = base::userLogFolder();
    if (folder_.empty()) return;
  }
  start_ = fileSize(folder_ + kFrontEndLogName);
  if (refusal.empty()) return;
  append(L"[" + localDateTimeText() + L"] [warning] The shared log [" + logPath(false) + L"] can't be used: " +
         refusal + L" Logging to this user's log instead.\r\n");
}

void Logger::append(const std::wstring& line) {
  if (folder_.empty()) return;
  const std::string utf8 = base::toUtf8(line);
  // Opened per line and shared, so that the bootstrapper and a problem report
  // can read the file while the front end runs.
  base::ScopedFileHandle file(CreateFileW((folder_ + kFrontEndLogName).c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void Logger::log(const std::wstring& message, base::LogLevel level) {
  const std::wstring line = L"[" + localDateTimeText() + L"] [" + levelName(level) + L"] " + message + L"\r\n";
  std::lock_guard lock(mutex_);
  if (!chosen_) chooseFolder();
  append(line);
}

Logger::RunLog Logger::ownLog() {
  std::lock_guard lock(mutex_);
  if (!chosen_) chooseFolder();
  if (folder_.empty()) return {};
  return {folder_ + kFrontEndLogName, start_};
}

Logger::RunLog Logger::bootstrapperLog() {
  const std::wstring named = environmentText(contract::kRunLogPathVariable);
  // Only the two places a bootstrapper logs to: the variable can't make a report
  // carry any other file.
  const auto isUserLog = [&named] {
    const std::wstring folder = base::userLogFolder();
    return !folder.empty() && sameText(named, folder + contract::kLogFileName);
  };
  if (!named.empty() && (sameText(named, logPath(true)) || isUserLog())) {
    return {named, parseStart(environmentText(contract::kRunLogStartVariable))};
  }
  const RunLog own = ownLog();
  if (own.path.empty()) return {logPath(true), 0};
  return {own.path.substr(0, own.path.size() - (std::size(kFrontEndLogName) - 1)) + contract::kLogFileName, 0};
}

}  // namespace kelvra::frontend
