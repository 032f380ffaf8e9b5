// The command line the client setup is started with. Platform-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvra::frontend::core {

struct SetupCommandInputs {
  std::wstring languageArgument;
  std::optional<std::wstring> productId;  // set when started with a product id and game name
  std::optional<std::wstring> gameName;
  bool enoughSpaceForSilentSetup = false;  // more than 1 GiB free on the program files drive
  std::wstring encodedCampaign;            // base64 of the campaign's UTF-8 bytes, may be empty
};

// "/lang=xx_XX", then either the product id branch (" /webinstaller /product_id=...",
// " /silent", " /game_name=\"...\"") or the campaign branch (" /campaign=\"...\"").
// Quotes inside the game name are dropped: they would end the argument early.
[[nodiscard]] std::wstring buildSetupCommandLine(const SetupCommandInputs& inputs);

// Text (a command line, a log) as logs and reports may show it: the value of every
// /campaign="..." argument (up to its closing quote or the line's end) replaced by
// base::redactEncodedLoginParameters of it, so that the campaign's login_parameters
// value reads "[redacted]" and a value that is not base64 of JSON becomes
// "[redacted]" whole. The setup itself gets the command line as it was built.
[[nodiscard]] std::wstring redactCampaignArguments(std::wstring_view text);

}  // namespace kelvra::frontend::core
