#include "core/problem_report.h"

#include "base/base64.h"
#include "base/json_text.h"
#include "base/login_parameters.h"
#include "core/setup_command_line.h"
#include "core/text_encoding.h"

namespace kelvra::frontend::core {

namespace {

constexpr std::size_t kLogTailCharacters = 5000;
constexpr wchar_t kLineBreak[] = L"\r\n";

// Appended piece by piece: GCC 12 takes "literal" + std::string here for an
// overlapping copy (-Wrestrict, a known false alarm).
std::string member(std::string_view name, std::string_view value) {
  std::string text;
  text.append("\"").append(name).append("\": \"").append(base::jsonStringContent(value)).append("\"");
  return text;
}

std::wstring snippetPart(const LogForReport& log) {
  std::wstring part = log.path + L" content:" + kLineBreak;
  // Redacted before the cut, so that the cut can't leave half a value behind.
  if (log.text && !log.text->empty()) part += logTail(redactSecrets(*log.text));
  return part;
}

constexpr std::wstring_view kRedacted = L"[redacted]";
constexpr std::wstring_view kTokenMarkers[] = {L"Succeeded to read token: [", L"Token: [", L"Decoded token: ["};
constexpr std::wstring_view kLoginParametersKey = L"login_parameters";

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool isLineEnd(wchar_t c) { return c == L'\r' || c == L'\n'; }
bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// A bootstrapper log record begins a line with "[YYYY-MM-DD ".
bool beginsRecord(std::wstring_view text, std::size_t at) {
  constexpr std::wstring_view shape = L"[dddd-dd-dd ";
  if (at != 0 && text[at - 1] != L'\n') return false;
  if (text.size() - at < shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const wchar_t c = text[at + i];
    if (shape[i] == L'd' ? !isDigit(c) : c != shape[i]) return false;
  }
  return true;
}

// Where the record that holds position from ends: at the line break before the
// next record, or at the end of the text.
std::size_t recordEnd(std::wstring_view text, std::size_t from) {
  for (std::size_t at = text.find(L'\n', from); at != std::wstring_view::npos; at = text.find(L'\n', at + 1)) {
    if (beginsRecord(text, at + 1)) return at > 0 && text[at - 1] == L'\r' ? at - 1 : at;
  }
  return text.size();
}

struct Marker {
  std::size_t valueStart = std::wstring_view::npos;  // just after the marker's "["
};

Marker nextTokenMarker(std::wstring_view text, std::size_t from) {
  Marker first;
  for (const std::wstring_view marker : kTokenMarkers) {
    const std::size_t at = text.find(marker, from);
    if (at != std::wstring_view::npos && at + marker.size() < first.valueStart) first.valueStart = at + marker.size();
  }
  return first;
}

std::wstring redactTokenLines(std::wstring_view text) {
  std::wstring out;
  std::size_t copied = 0;
  for (Marker marker = nextTokenMarker(text, 0); marker.valueStart != std::wstring_view::npos;
       marker = nextTokenMarker(text, copied)) {
    const std::size_t end = recordEnd(text, marker.valueStart);
    const std::size_t lastBracket = text.substr(0, end).rfind(L']');
    out.append(text.substr(copied, marker.valueStart - 1 - copied)).append(kRedacted);
    if (lastBracket != std::wstring_view::npos && lastBracket >= marker.valueStart) {
      copied = lastBracket + 1;
    } else {
      // Without its "]" (a record cut short) the value runs to the record's line end.
      copied = end;
      while (copied > marker.valueStart && isLineEnd(text[copied - 1])) --copied;
    }
  }
  return out.append(text.substr(copied));
}

std::size_t backslashesBefore(std::wstring_view text, std::size_t at, std::size_t floor) {
  std::size_t count = 0;
  while (at > floor + count && text[at - 1 - count] == L'\\') ++count;
  return count;
}

// JSON text that sits escaped inside a JSON string writes each of its quotes with
// 2^n - 1 backslashes in front at n levels of escaping. Of a quote preceded by a
// run of r backslashes, at the level whose quotes take `level` of them, r - level
// must be a multiple of 2 * level + 2 for the quote to be the text's own: the rest
// are escaped characters of a string.
bool isQuoteAtLevel(std::wstring_view text, std::size_t at, std::size_t level, std::size_t floor) {
  if (text[at] != L'"') return false;
  const std::size_t run = backslashesBefore(text, at, floor);
  return run >= level && (run - level) % (2 * level + 2) == 0;
}

// The end of a string whose content begins at from: the position of its closing
// quote's first backslash, or the line's end when it has none.
std::size_t stringContentEnd(std::wstring_view text, std::size_t from, std::size_t level) {
  for (std::size_t at = from; at < text.size() && !isLineEnd(text[at]); ++at) {
    if (isQuoteAtLevel(text, at, level, from)) return at - level;
  }
  std::size_t end = from;
  while (end < text.size() && !isLineEnd(text[end])) ++end;
  return end;
}

// The end of any other value: a balanced object or array, or a bare word.
std::size_t otherValueEnd(std::wstring_view text, std::size_t from, std::size_t level) {
  std::size_t depth = 0;
  bool inString = false;
  std::size_t at = from;
  for (; at < text.size() && !isLineEnd(text[at]); ++at) {
    const wchar_t c = text[at];
    if (c == L'"' && isQuoteAtLevel(text, at, level, from)) {
      inString = !inString;
    } else if (inString) {
      continue;
    } else if (c == L'{' || c == L'[') {
      ++depth;
    } else if (c == L'}' || c == L']' || c == L',' || isBlank(c)) {
      if (depth == 0) return at;
      if (c == L'}' || c == L']') --depth;
      if (depth == 0 && (c == L'}' || c == L']')) return at + 1;
    }
  }
  return at;
}

struct ValueSpan {
  std::size_t start = 0;
  std::size_t end = 0;
};

// The span to redact of the login_parameters member whose key's name begins at
// nameAt, or nothing when the text there is not such a member.
std::optional<ValueSpan> loginParametersValue(std::wstring_view text, std::size_t nameAt) {
  if (nameAt == 0 || text[nameAt - 1] != L'"') return std::nullopt;
  const std::size_t level = backslashesBefore(text, nameAt - 1, 0);
  std::size_t at = nameAt + kLoginParametersKey.size();
  const auto quoteAt = [&](std::size_t position) {
    if (position + level >= text.size()) return false;
    for (std::size_t i = 0; i < level; ++i) {
      if (text[position + i] != L'\\') return false;
    }
    return text[position + level] == L'"';
  };
  if (!quoteAt(at)) return std::nullopt;
  at += level + 1;
  while (at < text.size() && isBlank(text[at])) ++at;
  if (at >= text.size() || text[at] != L':') return std::nullopt;
  ++at;
  while (at < text.size() && isBlank(text[at])) ++at;
  if (quoteAt(at)) {
    const std::size_t start = at + level + 1;
    return ValueSpan{start, stringContentEnd(text, start, level)};
  }
  return ValueSpan{at, otherValueEnd(text, at, level)};
}

std::wstring redactLoginParameters(std::wstring_view text) {
  std::wstring out;
  std::size_t copied = 0;
  for (std::size_t at = text.find(kLoginParametersKey); at != std::wstring_view::npos;
       at = text.find(kLoginParametersKey, at + 1)) {
    if (at < copied) continue;
    const std::optional<ValueSpan> value = loginParametersValue(text, at);
    if (!value) continue;
    out.append(text.substr(copied, value->start - copied)).append(kRedacted);
    copied = value->end;
  }
  return out.append(text.substr(copied));
}

}  // namespace

std::string buildProblemText(const ProblemFields& fields) {
  return "{\"Arguments\": {" + member("applicationType", "Webinstaller") + ", " +
         member("webInstallerVersion", fields.webInstallerVersion) + ", " +
         member("remoteConfigVersion", fields.remoteConfigVersion) + ", " + member("os", "windows") + ", " +
         member("osIdentification", fields.osIdentification) + ", " + member("clientVersion", fields.clientVersion) +
         ", " + member("downloadLink", fields.downloadLink) + ", " +
         member("payload", urlEncode(base::redactEncodedLoginParameters(fields.encodedCampaign))) + ", " +
         member("error", fields.error) + "}, " + member("ProblemReport", "Webinstaller-Failure") + "}";
}

std::wstring redactSecrets(std::wstring_view log) {
  return redactLoginParameters(redactTokenLines(redactCampaignArguments(log)));
}

std::wstring logTail(std::wstring_view log) {
  if (log.size() < kLogTailCharacters) return std::wstring(log);
  return std::wstring(L"[--cut here--]") + kLineBreak + std::wstring(log.substr(log.size() - kLogTailCharacters));
}

std::wstring buildLogSnippet(const LogForReport& frontEndLog, const LogForReport& bootstrapperLog) {
  return snippetPart(frontEndLog) + kLineBreak + snippetPart(bootstrapperLog);
}

std::string buildProblemReportBody(std::string_view problemText, std::string_view snippetUtf8) {
  return "problem_message=" + std::string(problemText) + " & log_snippet=" + urlEncode(base::encodeBase64(snippetUtf8));
}

}  // namespace kelvra::frontend::core
