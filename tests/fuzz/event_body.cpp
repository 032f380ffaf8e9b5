// The telemetry event from outside text (campaign file, configuration version,
// installed version, system name) and the clock: whatever the campaign file
// holds, the body is one JSON document with every value intact.
#include "core/event_body.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/utf8.h"
#include "fuzz_support.h"

using namespace kelvra::base;
using namespace kelvra::frontend::core;

namespace {

// payload.campaign as the front end reads it: without a byte order mark, with
// malformed UTF-8 replaced.
std::string campaignText(std::string_view bytes) {
  constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
  if (bytes.starts_with(byteOrderMark)) bytes.remove_prefix(byteOrderMark.size());
  return toUtf8(fromUtf8(bytes));
}

int nextNumber(FieldReader& fields) {
  const std::string field = fields.next();
  std::int32_t value = 0;
  std::memcpy(&value, field.data(), field.size() < sizeof value ? field.size() : sizeof value);
  return value;
}

void checkDate(FieldReader& fields) {
  int parts[7];
  for (int& part : parts) part = nextNumber(fields);
  const std::string date = formatEventDate(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
  FUZZ_CHECK(!date.empty() && jsonString(date).size() == date.size() + 2);
  // A plausible clock gives exactly "yyyy-MM-ddTHH:mm:ss+hh:mm".
  const bool plausible = parts[0] >= 1601 && parts[0] <= 9999 && parts[1] >= 1 && parts[1] <= 12 && parts[2] >= 1 &&
                         parts[2] <= 31 && parts[3] >= 0 && parts[3] <= 23 && parts[4] >= 0 && parts[4] <= 59 &&
                         parts[5] >= 0 && parts[5] <= 59 && parts[6] >= -24 * 60 && parts[6] <= 24 * 60;
  if (plausible) {
    FUZZ_CHECK(date.size() == 25 && date[4] == '-' && date[7] == '-' && date[10] == 'T' && date[13] == ':' &&
               date[16] == ':' && (date[19] == '+' || date[19] == '-') && date[22] == ':');
  }
}

void checkCleanVersion(const std::string& version, const std::string& clean) {
  std::size_t next = 0;
  for (const char c : clean) {
    FUZZ_CHECK((c >= '0' && c <= '9') || c == '.');
    next = version.find(c, next);
    FUZZ_CHECK(next != std::string::npos);
    ++next;
  }
}

void checkSystemName(const std::wstring& product, const std::wstring& servicePack) {
  const std::wstring name = friendlySystemName(product, servicePack);
  if (product.empty()) {
    FUZZ_CHECK(name.empty());
    return;
  }
  FUZZ_CHECK(name.starts_with(L"Microsoft") && name.find(product) != std::wstring::npos);
  if (!servicePack.empty()) FUZZ_CHECK(name.ends_with(L" " + servicePack));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FieldReader fields(data, size);
  const std::string campaignFile = fields.next();
  const std::string installedVersion = toUtf8(fields.nextWide());
  const std::wstring product = fields.nextWide();
  const std::wstring servicePack = fields.nextWide();

  EventFields event;
  event.name = toUtf8(fields.nextWide());
  event.uuid = toUtf8(fields.nextWide());
  event.version = toUtf8(fields.nextWide());
  event.currentVersion = cleanClientVersion(installedVersion);
  checkCleanVersion(installedVersion, event.currentVersion);
  bool replaced = false;
  const std::string campaign = campaignText(campaignFile);
  event.campaignJson = campaignForEvent(campaign, replaced);
  FUZZ_CHECK(replaced ? event.campaignJson == "{}" : event.campaignJson == campaign);
  checkSystemName(product, servicePack);
  checkDate(fields);
  event.date = toUtf8(fields.nextWide());

  const std::string body = buildEventBody(event);
  FUZZ_CHECK(canonicalJson(body).has_value());
  FUZZ_CHECK(jsonValueAt(body, "/type") == jsonString(event.name));
  FUZZ_CHECK(jsonValueAt(body, "/date") == jsonString(event.date));
  FUZZ_CHECK(jsonValueAt(body, "/uuid") == jsonString(event.uuid));
  FUZZ_CHECK(jsonValueAt(body, "/meta/campaign") == canonicalJson(event.campaignJson));
  FUZZ_CHECK(jsonValueAt(body, "/data/current_version") == jsonString(event.currentVersion));
  FUZZ_CHECK(jsonValueAt(body, "/data/version") == jsonString(event.version));
  return 0;
}
