// How every part writes to the run's one log. spdlog is compiled in file_logger.cpp
// only; here it is a forward declaration, so that most files stay cheap to build.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include <fmt/xchar.h>

#include "base/utf8.h"

namespace spdlog {
class logger;
}

namespace kelvra::base {

// Shared handle to the run's logger; the library's registry holds one more.
using LoggerHandle = std::shared_ptr<spdlog::logger>;

inline constexpr char kFileLoggerName[] = "fileLogger";

enum class LogLevel { info, warning, error };

// The logger registered under kFileLoggerName. Never null: before the logger is
// created it is one that writes nowhere.
[[nodiscard]] LoggerHandle findFileLogger();

// Writes one UTF-8 line at the level; flushing follows the logger's flush level.
void writeLogLine(const LoggerHandle& logger, LogLevel level, std::string_view utf8Message);

namespace logging_detail {

// Wide text as UTF-8; every other argument as it is.
inline std::string narrowed(std::wstring_view text) { return toUtf8(text); }
inline std::string narrowed(wchar_t character) { return toUtf8(std::wstring_view(&character, 1)); }
// clang-format off
// (clang-format 14 can't lay out a requires clause.)
template <typename T>
  requires(!std::is_convertible_v<const T&, std::wstring_view> && !std::is_same_v<T, wchar_t>)
const T& narrowed(const T& value) {
  return value;
}
// clang-format on

}  // namespace logging_detail

// Checked at compile time against the arguments; the level functions below are
// what the parts call. Narrow messages are written as they are (ours are ASCII).
// A wide message is formatted from its format text and text arguments converted to
// UTF-8, which gives the same line as converting the formatted wide text, without
// a second (wide) copy of the formatting code in the exe. (A width or precision on
// a text argument would count characters, not UTF-16 units; no message has one.)
template <typename... Args>
void logFormatted(const LoggerHandle& logger, LogLevel level, fmt::string_view format, Args&&... args) {
  writeLogLine(logger, level, fmt::vformat(format, fmt::make_format_args(args...)));
}

template <typename... Args>
void logFormatted(const LoggerHandle& logger, LogLevel level, fmt::wstring_view format, Args&&... args) {
  writeLogLine(logger, level,
               fmt::vformat(toUtf8(std::wstring_view(format.data(), format.size())),
                            fmt::make_format_args(logging_detail::narrowed(args)...)));
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

}  // namespace kelvra::base
