#include "core/event_body.h"

#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "base/json_text.h"
#include "core/text_encoding.h"

namespace kelvra::frontend::core {

std::string buildEventBody(const EventFields& fields) {
  return "{\"type\": \"" + base::jsonStringContent(fields.name) + "\", \"date\": \"" +
         base::jsonStringContent(fields.date) + "\", \"uuid\": \"" + base::jsonStringContent(fields.uuid) +
         "\", \"meta\": {\"campaign\": " + fields.campaignJson + "}, \"data\": {\"current_version\": \"" +
         base::jsonStringContent(fields.currentVersion) + "\", \"version\": \"" +
         base::jsonStringContent(fields.version) + "\"}}";
}

std::string campaignForEvent(std::string_view campaign, bool& replaced) {
  // The JSON library takes a zero byte for the end of its input and skips a
  // leading byte order mark: either would reach the body unchecked.
  constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
  replaced = campaign.find('\0') != std::string_view::npos || campaign.starts_with(byteOrderMark) ||
             !nlohmann::json::accept(campaign.begin(), campaign.end());
  return replaced ? "{}" : std::string(campaign);
}

std::string cleanClientVersion(std::string_view version) {
  std::string clean;
  for (char c : version) {
    if ((c >= '0' && c <= '9') || c == '.') clean += c;
  }
  return clean;
}

std::wstring friendlySystemName(std::wstring_view productName, std::wstring_view servicePack) {
  if (productName.empty()) return {};
  std::wstring name(productName);
  if (name.rfind(L"Microsoft", 0) != 0) name = L"Microsoft " + name;
  if (!servicePack.empty()) name += L" " + std::wstring(servicePack);
  return name;
}

std::string formatEventDate(int year, int month, int day, int hour, int minute, int second, int utcOffsetMinutes) {
  const int offset = std::abs(utcOffsetMinutes);
  char text[100];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", year, month, day, hour, minute, second,
                utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

}  // namespace kelvra::frontend::core
