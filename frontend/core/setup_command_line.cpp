#include "core/setup_command_line.h"

#include <algorithm>

#include "base/login_parameters.h"
#include "base/utf8.h"

namespace kelvra::frontend::core {

namespace {

std::wstring withoutQuotes(std::wstring text) {
  text.erase(std::remove(text.begin(), text.end(), L'"'), text.end());
  return text;
}

constexpr std::wstring_view kCampaignArgument = L"/campaign=\"";

bool endsValue(wchar_t c) { return c == L'"' || c == L'\r' || c == L'\n'; }

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

std::wstring redactCampaignArguments(std::wstring_view text) {
  std::wstring out;
  std::size_t copied = 0;
  for (std::size_t at = text.find(kCampaignArgument); at != std::wstring_view::npos;
       at = text.find(kCampaignArgument, copied)) {
    const std::size_t start = at + kCampaignArgument.size();
    std::size_t end = start;
    while (end < text.size() && !endsValue(text[end])) ++end;
    const std::string value = base::toUtf8(text.substr(start, end - start));
    out.append(text.substr(copied, start - copied)).append(base::fromUtf8(base::redactEncodedLoginParameters(value)));
    copied = end;
  }
  return out.append(text.substr(copied));
}

}  // namespace kelvra::frontend::core
