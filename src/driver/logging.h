// How every part writes to the run's one log. spdlog is compiled in file_logger.cpp
// only; here it is a forward declaration, so that most files stay cheap to build.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <fmt/xchar.h>

#include "driver/utf8.h"

namespace spdlog {
class logger;
}

// Shared handle to the run's logger; the library's registry holds one more.
using LoggerHandle = std::shared_ptr<spdlog::logger>;

inline constexpr char kFileLoggerName[] = "fileLogger";

enum class LogLevel { info, warning, error };

// The logger registered under kFileLoggerName. Never null: before the logger is
// created it is one that writes nowhere.
[[nodiscard]] LoggerHandle findFileLogger();

// Writes one UTF-8 line at the level; flushing follows the logger's flush level.
void writeLogLine(const LoggerHandle& logger, LogLevel level, std::string_view utf8Message);

// Checked at compile time against the arguments; the level functions below are
// what the parts call. Narrow messages are written as they are (ours are ASCII);
// wide ones are formatted as wide text first, then converted to UTF-8.
template <typename... Args>
void logFormatted(const LoggerHandle& logger, LogLevel level, fmt::string_view format,
                  Args&&... args) {
  writeLogLine(logger, level, fmt::vformat(format, fmt::make_format_args(args...)));
}

template <typename... Args>
void logFormatted(const LoggerHandle& logger, LogLevel level, fmt::wstring_view format,
                  Args&&... args) {
  writeLogLine(logger, level, toUtf8(fmt::vformat(format, fmt::make_wformat_args(args...))));
}

template <typename... Args>
void logInfo(const LoggerHandle& logger, fmt::format_string<Args...> format, Args&&... args) {
  logFormatted(logger, LogLevel::info, fmt::string_view(format), std::forward<Args>(args)...);
}
template <typename... Args>
void logInfo(const LoggerHandle& logger, fmt::wformat_string<Args...> format, Args&&... args) {
  logFormatted(logger, LogLevel::info, fmt::wstring_view(format), std::forward<Args>(args)...);
}

template <typename... Args>
void logWarning(const LoggerHandle& logger, fmt::format_string<Args...> format, Args&&... args) {
  logFormatted(logger, LogLevel::warning, fmt::string_view(format), std::forward<Args>(args)...);
}
template <typename... Args>
void logWarning(const LoggerHandle& logger, fmt::wformat_string<Args...> format, Args&&... args) {
  logFormatted(logger, LogLevel::warning, fmt::wstring_view(format), std::forward<Args>(args)...);
}

template <typename... Args>
void logError(const LoggerHandle& logger, fmt::format_string<Args...> format, Args&&... args) {
  logFormatted(logger, LogLevel::error, fmt::string_view(format), std::forward<Args>(args)...);
}
template <typename... Args>
void logError(const LoggerHandle& logger, fmt::wformat_string<Args...> format, Args&&... args) {
  logFormatted(logger, LogLevel::error, fmt::wstring_view(format), std::forward<Args>(args)...);
}
