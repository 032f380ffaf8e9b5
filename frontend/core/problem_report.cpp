#include "core/problem_report.h"

#include "core/text_encoding.h"

namespace {

constexpr std::size_t kLogTailCharacters = 5000;
constexpr wchar_t kLineBreak[] = L"\r\n";

// Appended piece by piece: GCC 12 takes "literal" + std::string here for an
// overlapping copy (-Wrestrict, a known false alarm).
std::string member(std::string_view name, std::string_view value) {
  std::string text;
  text.append("\"").append(name).append("\": \"").append(jsonStringContent(value)).append("\"");
  return text;
}

std::wstring snippetPart(const LogForReport& log) {
  std::wstring part = log.path + L" content:" + kLineBreak;
  if (log.text && !log.text->empty()) part += logTail(*log.text);
  return part;
}

}  // namespace

std::string buildProblemText(const ProblemFields& fields) {
  return "{\"Arguments\": {" + member("applicationType", "Webinstaller") + ", " +
         member("webInstallerVersion", fields.webInstallerVersion) + ", " +
         member("remoteConfigVersion", fields.remoteConfigVersion) + ", " + member("os", "windows") + ", " +
         member("osIdentification", fields.osIdentification) + ", " +
         member("clientVersion", fields.clientVersion) + ", " + member("downloadLink", fields.downloadLink) +
         ", " + member("payload", urlEncode(fields.encodedCampaign)) + ", " + member("error", fields.error) +
         "}, " + member("ProblemReport", "Webinstaller-Failure") + "}";
}

std::wstring logTail(std::wstring_view log) {
  if (log.size() < kLogTailCharacters) return std::wstring(log);
  return std::wstring(L"[--cut here--]") + kLineBreak + std::wstring(log.substr(log.size() - kLogTailCharacters));
}

std::wstring buildLogSnippet(const LogForReport& frontEndLog, const LogForReport& bootstrapperLog) {
  return snippetPart(frontEndLog) + kLineBreak + snippetPart(bootstrapperLog);
}

std::string buildProblemReportBody(std::string_view problemText, std::string_view snippetUtf8) {
  return "problem_message=" + std::string(problemText) + " & log_snippet=" + urlEncode(encodeBase64(snippetUtf8));
}
