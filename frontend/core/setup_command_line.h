// The command line the client setup is started with. Platform-free.
#pragma once

#include <optional>
#include <string>

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

}  // namespace kelvra::frontend::core
