// Problem reports and events: their bodies from the run's state and both logs,
// and the exchanges with the services.
#include "run/reports.h"

#include <bcrypt.h>

#include <cstdio>

#include "base/base64.h"
#include "base/dll_search.h"
#include "base/login_parameters.h"
#include "base/utf8.h"
#include "core/event_body.h"
#include "core/problem_report.h"
#include "core/text_encoding.h"
#include "net/http_client.h"
#include "platform/file_reading.h"
#include "platform/product_version.h"
#include "platform/system_info.h"

namespace kelvra::frontend {

namespace {

// Logs rotate long before this; a larger file is reported as unreadable.
constexpr std::size_t kMaxLogBytes = 64u * 1024u * 1024u;

std::wstring userAgent() {
  return L"ZAVWebinstaller/" KELVRA_FRONTEND_VERSION_TEXT L" (" + systemFriendlyName() + L")";
}

// One log for the snippet: the text this run added to it, or nothing when it is
// missing, empty or can't be read (opened while the loggers may still be writing
// it). A log shorter than at the run's start was rotated during the run: all of
// it is this run's.
core::LogForReport logForReport(const Logger::RunLog& runLog, Logger& logger) {
  const std::wstring& path = runLog.path;
  core::LogForReport log{path, std::nullopt};
  if (!isExistingFile(path)) return log;
  const FileReading reading = readWholeFile(path, kMaxLogBytes);
  if (reading.failed) {
    logger.log(L"cannot read: " + path, base::LogLevel::info);
    return log;
  }
  const std::size_t start = reading.bytes.size() >= runLog.start ? static_cast<std::size_t>(runLog.start) : 0;
  if (reading.bytes.size() > start) log.text = base::fromUtf8(std::string_view(reading.bytes).substr(start));
  return log;
}

// A random (version 4) GUID in its usual lower-case form; empty when the system
// gives no random bytes.
std::string newGuid() {
  unsigned char bytes[16] = {};
  // BCrypt is delay-loaded: without the DLL, its first call would raise an exception.
  if (!base::tryLoadSystemLibrary(L"bcrypt.dll")) return {};
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return {};
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
  char text[37] = {};
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

std::string localTimeWithOffset() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  TIME_ZONE_INFORMATION zone{};
  const DWORD kind = GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias;
  if (kind == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  if (kind == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  if (kind == TIME_ZONE_ID_INVALID) bias = 0;
  return core::formatEventDate(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, -bias);
}

}  // namespace

Reports::Reports(const FrontEndSettings& settings, const RunState& state, Logger& logger)
    : settings_(settings), state_(state), logger_(logger) {}

void Reports::deliverProblemReport(const std::wstring& message, const std::optional<InPlace>& inPlace) {
  if (settings_.problemReportHost.empty()) {
    logger_.log(L"Problem reports are not sent: no problem-report host in this build", base::LogLevel::info);
    return;
  }
  logger_.log(L"Sending error to " + settings_.problemReportHost + L": " + message, base::LogLevel::info);

  core::ProblemFields fields;
  fields.webInstallerVersion = KELVRA_FRONTEND_VERSION_TEXT;
  fields.remoteConfigVersion = base::toUtf8(state_.remoteConfigVersion);
  fields.osIdentification = base::toUtf8(systemFriendlyName());
  fields.clientVersion = state_.remoteConfig.version;
  fields.downloadLink = state_.remoteConfig.downloadLink;
  fields.encodedCampaign = base::encodeBase64(state_.campaign);
  fields.error = base::toUtf8(message);
  const std::wstring snippet =
      core::buildLogSnippet(logForReport(logger_.ownLog(), logger_), logForReport(logger_.bootstrapperLog(), logger_));
  const std::string body = core::buildProblemReportBody(core::buildProblemText(fields), base::toUtf8(snippet));
  deliver([this, body](HttpAbortGroup* exchanges) { postProblemReport(body, exchanges); }, inPlace);
}

void Reports::postProblemReport(const std::string& body, HttpAbortGroup* exchanges) {
  HttpClient client(userAgent(), settings_.network);
  const HttpAbortGroup::Watch watch(exchanges, client);
  const HttpResult result = client.post(L"http://" + settings_.problemReportHost + L"/problem.php",
                                        "application/x-www-form-urlencoded", body);
  if (!result.failed) return;
  logger_.log(result.sent ? L"Sending error failed (HttpWebResponse)" : L"Sending error failed (StreamWriter)",
              base::LogLevel::error);
}

void Reports::deliverEvent(const std::wstring& eventName, const std::optional<InPlace>& inPlace) {
  if (settings_.telemetryHost.empty()) {
    logger_.log(L"Events are not sent: no telemetry host in this build", base::LogLevel::info);
    return;
  }
  bool campaignReplaced = false;
  core::EventFields fields;
  fields.name = base::toUtf8(eventName);
  fields.date = localTimeWithOffset();
  fields.uuid = newGuid();
  fields.campaignJson = core::campaignForEvent(state_.campaign, campaignReplaced);
  fields.currentVersion = installedClientVersion();
  fields.version = state_.remoteConfig.version;
  if (campaignReplaced) logger_.log(L"The campaign is not JSON; the event names an empty one", base::LogLevel::warning);
  const std::string body = core::buildEventBody(fields);
  // The event goes over https with the whole campaign; the log shows it redacted.
  fields.campaignJson = base::redactLoginParameters(fields.campaignJson);
  logger_.log(L"Sending event: " + base::fromUtf8(core::buildEventBody(fields)), base::LogLevel::info);
  deliver([this, body](HttpAbortGroup* exchanges) { postEvent(body, exchanges); }, inPlace);
}

void Reports::postEvent(const std::string& body, HttpAbortGroup* exchanges) {
  HttpClient client(userAgent(), settings_.network);
  const HttpAbortGroup::Watch watch(exchanges, client);
  const HttpResult result =
      client.post(L"https://" + settings_.telemetryHost + L"/clients/" + settings_.telemetryClientNumber + L"/events",
                  "application/json", body);
  if (!result.failed) {
    logger_.log(L"Send result: " + std::to_wstring(result.status), base::LogLevel::info);
  } else if (result.sent) {
    logger_.log(L"[HttpWebResponse] Sending event failed: " + result.message, base::LogLevel::error);
  } else {
    logger_.log(L"[StreamWriter] Sending event failed: " + result.message, base::LogLevel::error);
  }
}

void Reports::deliver(Exchange exchange, const std::optional<InPlace>& inPlace) {
  if (inPlace) {
    exchange(inPlace->exchanges);
    return;
  }
  worker_.post([this, exchange = std::move(exchange)] {
    try {
      exchange(nullptr);
    } catch (const std::exception& error) {
      logger_.log(L"Sending failed: " + base::fromUtf8(error.what()), base::LogLevel::error);
    }
  });
}

}  // namespace kelvra::frontend
