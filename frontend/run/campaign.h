// The campaign that the bootstrapper decoded from its token into payload.campaign.
#pragma once

#include <string>

namespace kelvra::frontend {

class Logger;

// An unreadable campaign is no failure of the run: the start-up reports it and
// goes on without one.
enum class CampaignReading { readOrAbsent, unreadable };

// Reads payload.campaign in folder into campaign (UTF-8, without a byte
// order mark) while that still holds "{}", when the file exists and is not
// empty; then fills encodedCampaign with the base64 of the campaign's UTF-8 bytes
// unless it already holds something (which is logged as an override). A missing
// or empty file changes nothing. unreadable when the file could not be read
// (logged as "Error loading campaign: ..."); the caller then sends the problem
// report.
[[nodiscard]] CampaignReading readCampaign(const std::wstring& folder, Logger& logger, std::string& campaign,
                                           std::string& encodedCampaign);

}  // namespace kelvra::frontend
