// The body of an event sent to the telemetry service, and the values it names.
// Platform-free.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::frontend::core {

struct EventFields {
  std::string name;            // "kelvra_download_started", ...
  std::string date;            // local time, "yyyy-MM-ddTHH:mm:ss+hh:mm"
  std::string uuid;            // a fresh GUID for every event
  std::string campaignJson;    // inserted raw: must already be JSON (see campaignForEvent)
  std::string currentVersion;  // the installed client's version
  std::string version;         // content / windows / version
};

// {"type": ..., "date": ..., "uuid": ..., "meta": {"campaign": <raw JSON>},
//  "data": {"current_version": ..., "version": ...}}; string values are escaped.
[[nodiscard]] std::string buildEventBody(const EventFields& fields);

// The campaign as the event carries it: the text itself when it is one JSON
// document, "{}" otherwise (replaced is then set), so that the body stays JSON.
[[nodiscard]] std::string campaignForEvent(std::string_view campaign, bool& replaced);

// The version with every character but digits and full stops removed.
[[nodiscard]] std::string cleanClientVersion(std::string_view version);

// "Microsoft " + product name (unless it already begins so) + " " + service pack;
// empty when the product name is.
[[nodiscard]] std::wstring friendlySystemName(std::wstring_view productName, std::wstring_view servicePack);

// "yyyy-MM-ddTHH:mm:ss" followed by the offset from UTC as "+hh:mm" or "-hh:mm".
[[nodiscard]] std::string formatEventDate(int year, int month, int day, int hour, int minute, int second,
                                          int utcOffsetMinutes);

}  // namespace kelvra::frontend::core
