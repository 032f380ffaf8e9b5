// The only file that compiles spdlog: the logger, its registry and the rotating sink.
#include "base/file_logger.h"

#include <exception>

#include <spdlog/sinks/null_sink.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include "base/file_logger_internal.h"

namespace kelvra::base {

namespace {

spdlog::level::level_enum toSpdlogLevel(LogLevel level) {
  switch (level) {
    case LogLevel::warning: return spdlog::level::warn;
    case LogLevel::error: return spdlog::level::err;
    case LogLevel::info: break;
  }
  return spdlog::level::info;
}

LoggerHandle registerSilentLogger(const std::string& name) {
  auto logger = std::make_shared<spdlog::logger>(name, std::make_shared<spdlog::sinks::null_sink_mt>());
  spdlog::register_logger(logger);
  return logger;
}

}  // namespace

LoggerHandle createFileLogger(const std::string& name, const std::wstring& path, std::size_t maxSize,
                              std::size_t maxFiles) {
  LoggerHandle logger;
  try {
    logger = spdlog::rotating_logger_mt(name, path, maxSize, maxFiles);
  } catch (const std::exception&) {
    // No log file (the folder is missing or not writable): installing matters more.
    logger = registerSilentLogger(name);
  }
  logger->flush_on(spdlog::level::info);
  return logger;
}

void internal::dropLogger(const std::string& name) { spdlog::drop(name); }

LoggerHandle findFileLogger() {
  if (auto logger = spdlog::get(kFileLoggerName)) return logger;
  static const LoggerHandle nowhere =
      std::make_shared<spdlog::logger>(kFileLoggerName, std::make_shared<spdlog::sinks::null_sink_mt>());
  return nowhere;
}

void writeLogLine(const LoggerHandle& logger, LogLevel level, std::string_view utf8Message) {
  logger->log(toSpdlogLevel(level), spdlog::string_view_t(utf8Message.data(), utf8Message.size()));
}

}  // namespace kelvra::base
