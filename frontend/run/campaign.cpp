#include "run/campaign.h"

#include <string_view>

#include "base/base64.h"
#include "base/login_parameters.h"
#include "base/utf8.h"
#include "contract/document_limits.h"
#include "contract/handoff_files.h"
#include "core/text_encoding.h"
#include "platform/file_reading.h"
#include "platform/logger.h"

namespace kelvra::frontend {

namespace {

// The file's text as a reader of UTF-8 text sees it: no byte order mark, and
// malformed sequences replaced, so that what is encoded is valid UTF-8.
std::string campaignText(std::string_view bytes) {
  constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
  if (bytes.substr(0, byteOrderMark.size()) == byteOrderMark) bytes.remove_prefix(byteOrderMark.size());
  return base::toUtf8(base::fromUtf8(bytes));
}

}  // namespace

CampaignReading readCampaign(const std::wstring& folder, Logger& logger, std::string& campaign,
                             std::string& encodedCampaign) {
  const std::wstring path = folder + contract::kDecodedTokenFileName;
  if (!isExistingFile(path)) return CampaignReading::readOrAbsent;
  const FileReading reading = readWholeFile(path, contract::kMaxCampaignBytes);
  if (reading.failed) {
    logger.log(L"Error loading campaign: " + path + L", " + describeReadFailure(path, reading.error),
               base::LogLevel::error);
    return CampaignReading::unreadable;
  }
  if (reading.bytes.empty()) return CampaignReading::readOrAbsent;
  if (campaign == "{}") campaign = campaignText(reading.bytes);
  if (encodedCampaign.empty()) {
    encodedCampaign = base::encodeBase64(campaign);
  } else {
    logger.log(L"Commandline campaign override: " + base::fromUtf8(base::redactEncodedLoginParameters(encodedCampaign)),
               base::LogLevel::warning);
  }
  return CampaignReading::readOrAbsent;
}

}  // namespace kelvra::frontend
