#include "core/setup_command_line.h"

#include <algorithm>

namespace kelvra::frontend::core {

namespace {

std::wstring withoutQuotes(std::wstring text) {
  text.erase(std::remove(text.begin(), text.end(), L'"'), text.end());
  return text;
}

}  // namespace

std::wstring buildSetupCommandLine(const SetupCommandInputs& inputs) {
  std::wstring line = L"/lang=" + inputs.languageArgument;
  if (inputs.productId) {
    line += L" /webinstaller /product_id=" + *inputs.productId;
    if (inputs.enoughSpaceForSilentSetup) line += L" /silent";
    if (inputs.gameName) line += L" /game_name=\"" + withoutQuotes(*inputs.gameName) + L"\"";
  } else {
    // Base64 holds no quotes or blanks, so the argument can't break out.
    line += L" /campaign=\"" + inputs.encodedCampaign + L"\"";
  }
  return line;
}

}  // namespace kelvra::frontend::core
