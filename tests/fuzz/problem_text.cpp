// The problem report from outside text (configuration values, messages, system
// name, campaign, both logs): the problem text is always one JSON document with
// every value intact, and the body's log snippet decodes back to the snippet.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/problem_report.h"
#include "core/text_encoding.h"
#include "driver/utf8.h"
#include "fuzz_support.h"

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Text as the front end holds it before it goes into a report: UTF-8 made from
// wide text.
std::string nextText(FieldReader& fields) { return toUtf8(fields.nextWide()); }

// A log: the field's first byte repeats the rest up to 256 times, so that short
// inputs reach the 5000-character cut. An absent field is a missing log.
std::optional<std::wstring> nextLog(FieldReader& fields) {
  const std::string field = fields.next();
  if (field.empty()) return std::nullopt;
  const std::wstring unit = utf16FromBytes(std::string_view(field).substr(1));
  std::wstring log;
  for (int i = 0; i <= static_cast<unsigned char>(field[0]); ++i) log += unit;
  return log;
}

std::optional<std::string> urlDecode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      const std::string_view hex = "0123456789abcdef";
      const auto high = hex.find(text[i + 1]);
      const auto low = hex.find(text[i + 2]);
      if (high == std::string_view::npos || low == std::string_view::npos) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  for (std::size_t group = 0; group < text.size(); group += 4) {
    std::uint32_t bits = 0;
    int padding = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const char c = text[group + i];
      const bool last = group + 4 == text.size();
      if (c == '=' && last && i >= 2) {
        ++padding;
        bits <<= 6;
        continue;
      }
      const auto value = kAlphabet.find(c);
      if (value == std::string_view::npos || padding > 0) return std::nullopt;
      bits = bits << 6 | static_cast<std::uint32_t>(value);
    }
    for (int k = 0; k < 3 - padding; ++k) out += static_cast<char>(bits >> (16 - 8 * k));
  }
  return out;
}

void checkLogTail(const std::wstring& log) {
  const std::wstring tail = logTail(log);
  if (log.size() < 5000) {
    FUZZ_CHECK(tail == log);
    return;
  }
  const std::wstring_view mark = L"[--cut here--]\r\n";
  FUZZ_CHECK(tail.size() == mark.size() + 5000 && tail.starts_with(mark) && log.ends_with(tail.substr(mark.size())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FieldReader fields(data, size);
  ProblemFields problem;
  problem.webInstallerVersion = nextText(fields);
  problem.remoteConfigVersion = nextText(fields);
  problem.osIdentification = nextText(fields);
  problem.clientVersion = nextText(fields);
  problem.downloadLink = nextText(fields);
  problem.encodedCampaign = encodeBase64(nextText(fields));
  problem.error = nextText(fields);
  const LogForReport frontEndLog{fields.nextWide(), nextLog(fields)};
  const LogForReport bootstrapperLog{fields.nextWide(), nextLog(fields)};

  FUZZ_CHECK(base64Decode(problem.encodedCampaign).has_value());
  const std::string text = buildProblemText(problem);
  FUZZ_CHECK(canonicalJson(text).has_value());
  const std::pair<const char*, std::string> members[] = {
      {"/Arguments/webInstallerVersion", problem.webInstallerVersion},
      {"/Arguments/remoteConfigVersion", problem.remoteConfigVersion},
      {"/Arguments/osIdentification", problem.osIdentification},
      {"/Arguments/clientVersion", problem.clientVersion},
      {"/Arguments/downloadLink", problem.downloadLink},
      {"/Arguments/payload", urlEncode(problem.encodedCampaign)},
      {"/Arguments/error", problem.error},
  };
  for (const auto& [pointer, value] : members) FUZZ_CHECK(jsonValueAt(text, pointer) == jsonString(value));
  FUZZ_CHECK(jsonValueAt(text, "/ProblemReport") == jsonString("Webinstaller-Failure"));

  for (const LogForReport* log : {&frontEndLog, &bootstrapperLog}) {
    if (log->text) checkLogTail(*log->text);
  }
  const std::string snippet = toUtf8(buildLogSnippet(frontEndLog, bootstrapperLog));
  const std::string body = buildProblemReportBody(text, snippet);
  const std::string_view head = "problem_message=";
  const std::string_view separator = " & log_snippet=";
  FUZZ_CHECK(body.starts_with(head) && body.substr(head.size(), text.size()) == text);
  const std::string_view encodedSnippet = std::string_view(body).substr(head.size() + text.size());
  FUZZ_CHECK(encodedSnippet.starts_with(separator));
  for (const char c : encodedSnippet.substr(separator.size())) {
    FUZZ_CHECK(c != '&' && c != '=' && c != ' ' && static_cast<unsigned char>(c) < 0x80);
  }
  const auto base64 = urlDecode(encodedSnippet.substr(separator.size()));
  FUZZ_CHECK(base64.has_value());
  FUZZ_CHECK(base64Decode(*base64) == snippet);
  return 0;
}
