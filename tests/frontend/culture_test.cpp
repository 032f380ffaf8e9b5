// Which culture tables a culture falls back to, and what the setup is told.
#include "core/culture.h"

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

using Chain = std::vector<std::wstring>;

TEST(Culture, FallbackFollowsTheParentsOfSatelliteLookup) {
  EXPECT_EQ(cultureFallbackChain(L"es-AR"), (Chain{L"es-AR", L"es"}));
  EXPECT_EQ(cultureFallbackChain(L"es-MX"), (Chain{L"es-MX", L"es"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-TW"), (Chain{L"zh-TW", L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-HK"), (Chain{L"zh-HK", L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-MO"), (Chain{L"zh-MO", L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-CHT"), (Chain{L"zh-CHT", L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-CN"), (Chain{L"zh-CN", L"zh-Hans", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-SG"), (Chain{L"zh-SG", L"zh-Hans", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-CHS"), (Chain{L"zh-CHS", L"zh-Hans", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"zh-Hant"), (Chain{L"zh-Hant", L"zh"}));
  EXPECT_EQ(cultureFallbackChain(L"pt-BR"), (Chain{L"pt-BR", L"pt"}));
  EXPECT_EQ(cultureFallbackChain(L"sr-Latn-RS"), (Chain{L"sr-Latn-RS", L"sr-Latn", L"sr"}));
  EXPECT_EQ(cultureFallbackChain(L"de"), (Chain{L"de"}));
  EXPECT_EQ(cultureFallbackChain(L""), Chain{});
}

TEST(Culture, LanguageArgumentTakesTheFirstMatchingRow) {
  const struct {
    const wchar_t* culture;
    const wchar_t* without;
    const wchar_t* with;
  } rows[] = {
      {L"en-GB", L"en_US", L"en_US"},     {L"ru-RU", L"ru_RU", L"ru_RU"},     {L"de-AT", L"de_DE", L"de_DE"},
      {L"pl-PL", L"pl_PL", L"pl_PL"},     {L"fr-CA", L"fr_FR", L"fr_FR"},     {L"pt-BR", L"pt_BR", L"pt_BR"},
      {L"pt-PT", L"en_US", L"en-US"},     {L"zh-Hant", L"en_US", L"zh_Hant"}, {L"zh-TW", L"zh_Hans", L"zh_Hans"},
      {L"zh-CN", L"zh_Hans", L"zh_Hans"}, {L"ja-JP", L"en_US", L"ja_JP"},     {L"ko-KR", L"en_US", L"ko_KR"},
      {L"es-MX", L"en_US", L"es_MX"},     {L"es-AR", L"en_US", L"es_ES"},     {L"es-ES", L"en_US", L"es_ES"},
      {L"it-IT", L"en_US", L"it_IT"},     {L"nl-NL", L"en_US", L"en-US"},     {L"de", L"en_US", L"en-US"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(languageArgument(row.culture, false), row.without) << row.culture;
    EXPECT_EQ(languageArgument(row.culture, true), row.with) << row.culture;
  }
}
