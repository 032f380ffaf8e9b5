// Culture names as the front end gets them from Windows (any UTF-16 text): the
// string fallback chain and the setup's language argument; and the bootstrapper's
// notice language for the LANGID that the first two bytes make.
#include "core/culture.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "notices/message_language.h"

using namespace kelvra::frontend::core;
using namespace kelvra::notices;

namespace {

void checkFallbackChain(const std::wstring& culture) {
  const std::vector<std::wstring> chain = cultureFallbackChain(culture);
  if (culture.empty()) {
    FUZZ_CHECK(chain.empty());
    return;
  }
  FUZZ_CHECK(!chain.empty() && chain.front() == culture);
  // Each step drops one "-part" or moves a Chinese region to its script, whose
  // own parent is "zh": the chain is short and has no repeats.
  FUZZ_CHECK(chain.size() <= static_cast<std::size_t>(std::count(culture.begin(), culture.end(), L'-')) + 2);
  for (std::size_t i = 0; i < chain.size(); ++i) {
    const std::wstring& name = chain[i];
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(std::count(chain.begin(), chain.end(), name) == 1);
    const bool script = name == L"zh-Hant" || name == L"zh-Hans";
    const bool prefix =
        culture.compare(0, name.size(), name) == 0 && (name.size() == culture.size() || culture[name.size()] == L'-');
    FUZZ_CHECK(prefix || script ||
               (name == L"zh" && i > 0 && (chain[i - 1] == L"zh-Hant" || chain[i - 1] == L"zh-Hans")));
  }
}

void checkLanguageArgument(const std::wstring& culture) {
  static const std::set<std::wstring> known = {L"en_US",   L"ru_RU", L"de_DE", L"pl_PL", L"fr_FR", L"pt_BR", L"zh_Hant",
                                               L"zh_Hans", L"ja_JP", L"ko_KR", L"es_MX", L"es_ES", L"it_IT", L"en-US"};
  const std::wstring withoutProduct = languageArgument(culture, false);
  const std::wstring withProduct = languageArgument(culture, true);
  FUZZ_CHECK(known.count(withoutProduct) == 1 && known.count(withProduct) == 1);
  // The product id changes only the languages the setup can't show by default.
  FUZZ_CHECK(withoutProduct == withProduct || withoutProduct == L"en_US");
}

void checkMessageLanguage(std::uint16_t langId) {
  static const std::set<int> known = {
      MessageLanguage::chineseSimplified, MessageLanguage::german,           MessageLanguage::english,
      MessageLanguage::spanish,           MessageLanguage::french,           MessageLanguage::italian,
      MessageLanguage::japanese,          MessageLanguage::korean,           MessageLanguage::polish,
      MessageLanguage::russian,           MessageLanguage::portugueseBrazil, MessageLanguage::spanishMexico,
      MessageLanguage::chineseTraditional};
  const int code = messageLanguageForLangId(langId);
  // Portuguese keeps its whole LANGID; only Brazil's has texts, the catalogue
  // turns any other into English.
  FUZZ_CHECK(known.count(code) == 1 || (langId & 0xFF) == 0x16);
  FUZZ_CHECK(code == langId || code == (langId & 0xFF) || known.count(code) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::wstring culture = utf16FromBytes(input);
  checkFallbackChain(culture);
  checkLanguageArgument(culture);
  if (size >= 2) checkMessageLanguage(static_cast<std::uint16_t>(data[0] | data[1] << 8));
  return 0;
}
