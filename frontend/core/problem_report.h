// The problem report's body: a JSON problem text and the ends of both logs.
// Platform-free; texts are UTF-8 except where they are wide by nature (log files
// are read as text and cut by character, as a user would count them).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvra::frontend::core {

struct ProblemFields {
  std::string webInstallerVersion;
  std::string remoteConfigVersion;
  std::string osIdentification;  // trimmed friendly name of the system
  std::string clientVersion;     // content / windows / version, or empty
  std::string downloadLink;      // content / windows / downloadLink, or empty
  std::string encodedCampaign;   // base64 of the campaign's UTF-8 bytes (the report redacts it)
  std::string error;             // the report message
};

// The problem text. Every value is escaped as a JSON string, so that a quote in a
// message or a configuration value can't break the document. The payload member
// carries the campaign as base::redactEncodedLoginParameters shows it, URL-encoded.
[[nodiscard]] std::string buildProblemText(const ProblemFields& fields);

// What a report shows of one log: the whole text when it holds fewer than 5000
// characters, otherwise "[--cut here--]", a line break and its last 5000.
[[nodiscard]] std::wstring logTail(std::wstring_view log);

// The log as a report may carry it: the personalized token leaves the machine
// nowhere. The bracketed value of the bootstrapper's lines "Succeeded to read
// token: [...]", "Token: [...]" and "Decoded token: [...]" becomes "[redacted]"
// (a value runs to the record's last "]"; a record ends where a line starting with
// the bootstrapper's "[YYYY-MM-DD " timestamp begins), and so does the content of
// every "login_parameters" member in JSON text, plain or escaped inside a JSON
// string (a value is looked for on its key's line), and the login_parameters value
// inside every base64 /campaign="..." argument (redactCampaignArguments). Everything
// else stays as it is.
[[nodiscard]] std::wstring redactSecrets(std::wstring_view log);

// One log as the snippet names it: its path and its text, or nothing when it is
// missing, empty or unreadable.
struct LogForReport {
  std::wstring path;
  std::optional<std::wstring> text;
};

// The snippet's text: each log's path, " content:", a line break and the tail of
// its redacted text.
[[nodiscard]] std::wstring buildLogSnippet(const LogForReport& frontEndLog, const LogForReport& bootstrapperLog);

// "problem_message=" + problem text + " & log_snippet=" + the snippet as URL-encoded
// base64 of its UTF-8 bytes.
[[nodiscard]] std::string buildProblemReportBody(std::string_view problemText, std::string_view snippetUtf8);

}  // namespace kelvra::frontend::core
