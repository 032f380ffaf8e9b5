#include "core/culture.h"

namespace kelvra::frontend::core {

namespace {

bool startsWith(std::wstring_view text, std::wstring_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Chinese names without a script take their parent from the region.
std::wstring_view chineseScriptParent(std::wstring_view culture) {
  for (std::wstring_view traditional : {L"zh-TW", L"zh-HK", L"zh-MO", L"zh-CHT"}) {
    if (culture == traditional) return L"zh-Hant";
  }
  for (std::wstring_view simplified : {L"zh-CN", L"zh-SG", L"zh-CHS"}) {
    if (culture == simplified) return L"zh-Hans";
  }
  return {};
}

}  // namespace

std::vector<std::wstring> cultureFallbackChain(std::wstring_view culture) {
  std::vector<std::wstring> chain;
  std::wstring current(culture);
  while (!current.empty()) {
    chain.push_back(current);
    if (const auto script = chineseScriptParent(current); !script.empty()) {
      current = script;
      continue;
    }
    const auto dash = current.rfind(L'-');
    if (dash == std::wstring::npos) break;
    current.resize(dash);
  }
  return chain;
}

std::wstring languageArgument(std::wstring_view culture, bool hasProductId) {
  struct Rule {
    std::wstring_view pattern;
    bool exact;
    std::wstring_view withoutProductId;
    std::wstring_view withProductId;
  };
  static constexpr Rule rules[] = {
      {L"en-", false, L"en_US", L"en_US"},      {L"ru-", false, L"ru_RU", L"ru_RU"},
      {L"de-", false, L"de_DE", L"de_DE"},      {L"pl-", false, L"pl_PL", L"pl_PL"},
      {L"fr-", false, L"fr_FR", L"fr_FR"},      {L"pt-BR", true, L"pt_BR", L"pt_BR"},
      {L"zh-Hant", true, L"en_US", L"zh_Hant"}, {L"zh-", false, L"zh_Hans", L"zh_Hans"},
      {L"ja-", false, L"en_US", L"ja_JP"},      {L"ko-", false, L"en_US", L"ko_KR"},
      {L"es-MX", true, L"en_US", L"es_MX"},     {L"es-", false, L"en_US", L"es_ES"},
      {L"it-", false, L"en_US", L"it_IT"},
  };
  for (const Rule& rule : rules) {
    const bool matches = rule.exact ? culture == rule.pattern : startsWith(culture, rule.pattern);
    if (matches) return std::wstring(hasProductId ? rule.withProductId : rule.withoutProductId);
  }
  return hasProductId ? L"en-US" : L"en_US";
}

}  // namespace kelvra::frontend::core
