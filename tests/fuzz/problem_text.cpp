// The problem report from outside text (configuration values, messages, system
// name, campaign, both logs): the problem text is always one JSON document with
// every value intact, the body's log snippet decodes back to the snippet, and no
// part of a token or of login_parameters placed in the logs survives into it. The
// login_parameters value of a campaign or token survives neither into the report's
// payload member nor into the lines that the bootstrapper and the front end log
// about them, in any encoding.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/base64.h"
#include "base/login_parameters.h"
#include "base/utf8.h"
#include "contract/token_payload.h"
#include "contract/token_trailer.h"
#include "core/problem_report.h"
#include "core/setup_command_line.h"
#include "core/text_encoding.h"
#include "fuzz_support.h"

using namespace kelvra::base;
using namespace kelvra::frontend::core;
using namespace kelvra::contract;

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

// Secrets are marked by private-use characters that nothing else in a log holds:
// one at each end and one inside, so that no piece of a secret can survive unseen.
constexpr wchar_t kFirstMark = 0xE000;
constexpr wchar_t kLastMark = 0xE005;

bool isMark(wchar_t c) { return c >= kFirstMark && c <= kLastMark; }

// The text without any secret's marks, and without campaign arguments: their
// base64 could hide marks from the checks (the marked secrets come in separately).
std::wstring withoutMarks(std::wstring text) {
  std::erase_if(text, isMark);
  for (std::size_t at = text.find(L"/campaign=\""); at != std::wstring::npos; at = text.find(L"/campaign=\"", at)) {
    text[at + 10] = L'\'';
  }
  return text;
}

std::wstring marked(std::wstring secret, wchar_t first, std::size_t middle) {
  secret.insert(secret.size() == 0 ? 0 : middle % (secret.size() + 1), 1, static_cast<wchar_t>(first + 1));
  return static_cast<wchar_t>(first) + secret + static_cast<wchar_t>(first + 2);
}

std::size_t nextNumber(FieldReader& fields) {
  const std::string field = fields.next();
  return field.empty() ? 0 : static_cast<unsigned char>(field[0]);
}

// The text as the content of a JSON string (wide, as the log is read).
std::wstring escaped(std::wstring_view text) {
  std::wstring out;
  for (const wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      out += L'\\';
      out += c;
    } else if (c < 0x20) {
      static constexpr wchar_t digits[] = L"0123456789abcdef";
      out += L"\\u00";
      out += digits[c >> 4];
      out += digits[c & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// The log before, a token line with a marked token, then a line with a marked
// login_parameters value in JSON escaped `level` times, then more log.
std::wstring nextSecretLog(FieldReader& fields, const std::optional<std::wstring>& before) {
  constexpr std::wstring_view markers[] = {L"Succeeded to read token: [", L"Token: [", L"Decoded token: ["};
  const std::wstring_view marker = markers[nextNumber(fields) % 3];
  std::wstring token = withoutMarks(fields.nextWide());
  // A line break followed by "[" would be taken for the next record's start; the
  // redaction only promises to find a token's end at the bootstrapper's records.
  for (std::size_t at = 1; at < token.size(); ++at) {
    if (token[at] == L'[' && token[at - 1] == L'\n') token[at] = L'(';
  }
  token = marked(token, kFirstMark, nextNumber(fields));
  const std::size_t level = nextNumber(fields) % 3;
  std::wstring login = marked(withoutMarks(fields.nextWide()), kFirstMark + 3, nextNumber(fields));
  std::wstring quote = L"\"";
  for (std::size_t i = 0; i <= level; ++i) login = escaped(login);
  for (std::size_t i = 0; i < level; ++i) quote = escaped(quote);
  const std::wstring after = withoutMarks(fields.nextWide());

  return withoutMarks(before.value_or(L"")) + L"\r\n[2024-05-06 07:08:09.123] [fileLogger] [info] " +
         std::wstring(marker) + token + L"]\r\n[2024-05-06 07:08:09.124] [fileLogger] [info] {" + quote + L"campaign" +
         quote + L": {}, " + quote + L"login_parameters" + quote + L": " + quote + login + quote + L"}\r\n" + after;
}

bool holdsMark(std::wstring_view text) { return std::any_of(text.begin(), text.end(), isMark); }

void checkLogTail(const std::wstring& log) {
  const std::wstring tail = logTail(log);
  if (log.size() < 5000) {
    FUZZ_CHECK(tail == log);
    return;
  }
  const std::wstring_view mark = L"[--cut here--]\r\n";
  FUZZ_CHECK(tail.size() == mark.size() + 5000 && tail.starts_with(mark) && log.ends_with(tail.substr(mark.size())));
}

// A secret's marks in UTF-8: private-use characters U+E000 to U+E005.
bool holdsMarkBytes(std::string_view text) {
  for (std::size_t at = text.find("\xEE\x80"); at != std::string_view::npos; at = text.find("\xEE\x80", at + 1)) {
    if (at + 2 < text.size() && static_cast<unsigned char>(text[at + 2]) >= 0x80 &&
        static_cast<unsigned char>(text[at + 2]) <= 0x85) {
      return true;
    }
  }
  return false;
}

// A value that should be base64 of a redacted document: "[redacted]", empty, or
// base64 that decodes to text holding no mark.
void checkEncodedValue(std::string_view value) {
  if (value.empty() || value == kRedacted) return;
  const auto decoded = base64Decode(value);
  FUZZ_CHECK(decoded.has_value());
  FUZZ_CHECK(!holdsMarkBytes(*decoded));
}

// Every /campaign="..." value in text (to its quote or the line's end).
void checkCampaignArguments(std::string_view text) {
  constexpr std::string_view argument = "/campaign=\"";
  for (std::size_t at = text.find(argument); at != std::string_view::npos; at = text.find(argument, at + 1)) {
    const std::size_t start = at + argument.size();
    const std::size_t end = std::min(text.find_first_of("\"\r\n", start), text.size());
    checkEncodedValue(text.substr(start, end - start));
  }
}

// A campaign as payload.campaign may hold it: the fuzzer's text as it is, or a
// document whose login_parameters value (a string, or an object holding one) is a
// marked secret.
std::string nextCampaign(FieldReader& fields, const std::string& text) {
  const std::size_t shape = nextNumber(fields) % 3;
  const std::string secret = toUtf8(marked(withoutMarks(fields.nextWide()), kFirstMark, nextNumber(fields)));
  if (shape == 0) return text;
  const std::string campaign = canonicalJson(text).value_or(jsonString(text));
  const std::string value = shape == 1 ? jsonString(secret) : "{\"k\":[" + jsonString(secret) + "]}";
  return "{\"login_parameters\":" + value + ",\"campaign\":" + campaign + "}";
}

// The bootstrapper's lines about a token that carries campaign, whole or cut at a
// position the fuzzer picks (a token that is no longer JSON), and the front end's
// "launching" line with the campaign: none holds a mark, in plain text or in the
// base64 of a token or campaign argument. Returned as a bootstrapper log to report.
std::wstring checkedLogLines(FieldReader& fields, const std::string& campaign) {
  const std::size_t cut = nextNumber(fields);
  const std::string token = encodeBase64(cut == 0 ? campaign : campaign.substr(0, campaign.size() * cut / 256));
  std::vector<LogEntry> lines;
  if (const auto trailer = kelvra::contract::buildTokenTrailer(token)) lines = parseTokenTrailer(*trailer).lines;
  const TokenDecoding decoding = decodeTokenText(token);
  lines.insert(lines.end(), decoding.lines.begin(), decoding.lines.end());
  lines.push_back({LogLevel::info, toUtf8(L"launching: C:\\t\\KelvraSetup.exe with args: " +
                                          redactCampaignArguments(L"/lang=en_US /campaign=\"" +
                                                                  fromUtf8(encodeBase64(campaign)) + L"\""))});
  std::wstring log;
  for (const LogEntry& line : lines) {
    FUZZ_CHECK(!holdsMarkBytes(line.text));
    constexpr std::string_view read = "Succeeded to read token: [";
    if (line.text.starts_with(read))
      checkEncodedValue(std::string_view(line.text).substr(read.size(), line.text.size() - read.size() - 1));
    checkCampaignArguments(line.text);
    log += L"[2024-05-06 07:08:09.125] [fileLogger] [info] " + fromUtf8(line.text) + L"\r\n";
  }
  return log;
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
  const std::string campaignText = toUtf8(withoutMarks(fields.nextWide()));
  problem.error = nextText(fields);
  const LogForReport frontEndLog{fields.nextWide(), nextLog(fields)};
  const LogForReport bootstrapperLog{fields.nextWide(), nextLog(fields)};

  const std::wstring secrets = nextSecretLog(fields, bootstrapperLog.text);
  const std::string campaign = nextCampaign(fields, campaignText);
  problem.encodedCampaign = encodeBase64(campaign);
  const std::string text = buildProblemText(problem);
  FUZZ_CHECK(canonicalJson(text).has_value());
  const std::pair<const char*, std::string> members[] = {
      {"/Arguments/webInstallerVersion", problem.webInstallerVersion},
      {"/Arguments/remoteConfigVersion", problem.remoteConfigVersion},
      {"/Arguments/osIdentification", problem.osIdentification},
      {"/Arguments/clientVersion", problem.clientVersion},
      {"/Arguments/downloadLink", problem.downloadLink},
      {"/Arguments/error", problem.error},
  };
  for (const auto& [pointer, value] : members) FUZZ_CHECK(jsonValueAt(text, pointer) == jsonString(value));
  FUZZ_CHECK(jsonValueAt(text, "/ProblemReport") == jsonString("Webinstaller-Failure"));
  // The payload: the campaign without its login_parameters value, nothing else lost.
  const auto payload = urlDecode(nlohmann::json::parse(*jsonValueAt(text, "/Arguments/payload")).get<std::string>());
  FUZZ_CHECK(payload.has_value());
  checkEncodedValue(*payload);
  if (*payload == kRedacted) {
    // Only a campaign that is not JSON, or nested deeper than the redaction writes back, goes whole.
    FUZZ_CHECK(!canonicalJson(campaign) ||
               std::count_if(campaign.begin(), campaign.end(), [](char c) { return c == '[' || c == '{'; }) > 64);
  } else if (campaign.find("login_parameters") == std::string::npos && canonicalJson(campaign)) {
    FUZZ_CHECK(canonicalJson(base64Decode(*payload).value_or("")) == canonicalJson(campaign));
  } else if (campaign != campaignText) {
    FUZZ_CHECK(jsonValueAt(base64Decode(*payload).value_or(""), "/login_parameters") == jsonString(kRedacted));
  }

  for (const LogForReport* log : {&frontEndLog, &bootstrapperLog}) {
    if (log->text) checkLogTail(*log->text);
  }
  // Text with nothing to redact goes through as it is.
  for (const LogForReport* log : {&frontEndLog, &bootstrapperLog}) {
    if (!log->text || log->text->find(L"oken: [") != std::wstring::npos ||
        log->text->find(L"login_parameters") != std::wstring::npos ||
        log->text->find(L"/campaign=\"") != std::wstring::npos) {
      continue;
    }
    FUZZ_CHECK(redactSecrets(*log->text) == *log->text);
  }
  // Paths too: the snippet names them as they are.
  const LogForReport stampedLog{withoutMarks(bootstrapperLog.path), secrets + checkedLogLines(fields, campaign)};
  const LogForReport frontEndLogClean{withoutMarks(frontEndLog.path),
                                      frontEndLog.text ? std::optional(withoutMarks(*frontEndLog.text)) : std::nullopt};
  const std::wstring redacted = redactSecrets(secrets);
  FUZZ_CHECK(!holdsMark(redacted));
  const std::wstring wideSnippet = buildLogSnippet(frontEndLogClean, stampedLog);
  FUZZ_CHECK(!holdsMark(wideSnippet));
  checkCampaignArguments(toUtf8(wideSnippet));

  const std::string snippet = toUtf8(wideSnippet);
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
