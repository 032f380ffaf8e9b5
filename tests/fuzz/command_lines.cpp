// The command lines built from outside text: the client setup's (culture, product
// id, game name, campaign), the front end's launch parameters, and the remote
// configuration address that carries the product id. Each is split back the way
// the Microsoft C runtime splits a command line, to see what a program receives.
#include <cstdint>
#include <string>
#include <vector>

#include "base/base64.h"
#include "base/utf8.h"
#include "core/culture.h"
#include "core/remote_config_record.h"
#include "core/setup_command_line.h"
#include "core/text_encoding.h"
#include "fuzz_support.h"
#include "handoff/launch_parameters.h"

using namespace kelvra::base;
using namespace kelvra::frontend::core;
using namespace kelvra::handoff;

namespace {

// Arguments as CommandLineToArgvW finds them after the program name: blanks and
// tabs separate, quotes group, 2n backslashes before a quote give n and open or
// close, 2n+1 give n and a literal quote, other backslashes stand as they are.
std::vector<std::wstring> splitArguments(std::wstring_view line) {
  std::vector<std::wstring> arguments;
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i == line.size()) return arguments;
    std::wstring argument;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
      std::size_t backslashes = 0;
      while (i < line.size() && line[i] == L'\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == L'"') {
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          argument += L'"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          argument += L'"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, L'\\');
        if (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) argument += line[i++];
      }
    }
    arguments.push_back(argument);
  }
}

bool isPlainArgument(std::wstring_view text) {
  return !text.empty() && text.find_first_of(L" \t\"") == std::wstring_view::npos;
}

std::wstring withoutQuotes(std::wstring text) {
  std::erase(text, L'"');
  return text;
}

void checkSetupCommandLine(FieldReader& fields) {
  const std::wstring culture = fields.nextWide();
  const bool hasProductId = fields.nextFlag();
  SetupCommandInputs inputs;
  inputs.languageArgument = languageArgument(culture, hasProductId);
  const std::wstring productId = fields.nextWide();
  if (hasProductId) inputs.productId = productId;
  const std::wstring gameName = fields.nextWide();
  if (fields.nextFlag()) inputs.gameName = gameName;
  inputs.enoughSpaceForSilentSetup = fields.nextFlag();
  inputs.encodedCampaign = fromUtf8(encodeBase64(toUtf8(fields.nextWide())));

  const std::wstring line = buildSetupCommandLine(inputs);
  const std::vector<std::wstring> arguments = splitArguments(line);
  FUZZ_CHECK(!arguments.empty() && arguments.front() == L"/lang=" + inputs.languageArgument);
  if (!hasProductId) {
    // The campaign always arrives whole as the second and last argument.
    FUZZ_CHECK(arguments.size() == 2 && arguments[1] == L"/campaign=" + inputs.encodedCampaign);
    return;
  }
  FUZZ_CHECK(arguments.size() >= 2 && arguments[1] == L"/webinstaller");
  // The product id and the game name arrive as they are when they hold nothing
  // that the splitting rules act on.
  if (!isPlainArgument(productId) || productId.find(L'\\') != std::wstring::npos) return;
  FUZZ_CHECK(arguments[2] == L"/product_id=" + productId);
  std::size_t next = 3;
  if (inputs.enoughSpaceForSilentSetup) FUZZ_CHECK(arguments.size() > next && arguments[next++] == L"/silent");
  if (!inputs.gameName) {
    FUZZ_CHECK(arguments.size() == next);
    return;
  }
  if (gameName.find(L'\\') != std::wstring::npos) return;
  FUZZ_CHECK(arguments.size() == next + 1 && arguments[next] == L"/game_name=" + withoutQuotes(gameName));
}

void checkLaunchParameters(FieldReader& fields) {
  const std::wstring parameterText = fields.nextWide();
  const std::wstring extraArgument = fields.nextWide();
  const std::wstring parameters = buildLaunchParameters(parameterText, extraArgument);
  if (extraArgument.empty()) {
    FUZZ_CHECK(parameters == parameterText);
    return;
  }
  FUZZ_CHECK(parameters == parameterText + L" \"" + extraArgument + L"\"");
}

void checkConfigAddress(FieldReader& fields) {
  const std::wstring productId = fields.nextWide();
  const std::wstring address = remoteConfigAddress(L"config.example", productId, L"2.0.0");
  const std::wstring_view base = L"https://config.example/components/webinstaller";
  const std::wstring_view query = L"?component_version=2.0.0";
  FUZZ_CHECK(address.starts_with(base) && address.ends_with(query));
  std::wstring_view middle(address);
  middle = middle.substr(base.size(), middle.size() - base.size() - query.size());
  if (productId.empty()) {
    FUZZ_CHECK(middle.empty());
    return;
  }
  FUZZ_CHECK(middle.starts_with(L"/clients/"));
  middle.remove_prefix(9);
  // Percent-encoded UTF-8: nothing in it can end the path segment or start a query.
  std::string decoded;
  for (std::size_t i = 0; i < middle.size(); ++i) {
    const wchar_t c = middle[i];
    FUZZ_CHECK(c < 0x80 && c != L'/' && c != L'?' && c != L'#' && c != L'&' && c != L' ');
    if (c != L'%') {
      decoded += static_cast<char>(c);
      continue;
    }
    FUZZ_CHECK(i + 2 < middle.size());
    decoded += static_cast<char>(
        std::stoi(std::string{static_cast<char>(middle[i + 1]), static_cast<char>(middle[i + 2])}, nullptr, 16));
    i += 2;
  }
  FUZZ_CHECK(decoded == toUtf8(productId));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FieldReader fields(data, size);
  checkSetupCommandLine(fields);
  checkLaunchParameters(fields);
  checkConfigAddress(fields);
  return 0;
}
