// What the bootstrapper carries as resources and where each piece goes in the
// working folder. Plain constants, no Windows headers: tests and tools share them.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "contract/handoff_files.h"

namespace kelvra::staging {

// Numeric resource types (RT_RCDATA, RT_GROUP_ICON, RT_ICON).
inline constexpr std::uint16_t kRawDataResourceType = 10;
inline constexpr std::uint16_t kIconGroupResourceType = 14;
inline constexpr std::uint16_t kIconResourceType = 3;

inline constexpr std::uint16_t kFrontEndResourceId = 129;
inline constexpr std::uint16_t kIconGroupResourceId = 132;
inline constexpr std::uint16_t kImageResourceId = 133;

// Appended to the working folder path, which has no trailing separator.
inline constexpr wchar_t kFrontEndFileName[] = L"\\KelvraInstaller.exe";
inline constexpr wchar_t kImageFileName[] = L"\\icon.png";
inline constexpr wchar_t kFrontEndConfigFileName[] = L"\\KelvraInstaller.exe.config";

// The front end's runtime configuration: LF line ends, no BOM, no terminator.
// Runtime 4.0 comes first: it is preferred where it is installed.
inline constexpr std::string_view kFrontEndConfigText =
    "<configuration>\n"
    "<startup>\n"
    "<supportedRuntime version = \"v4.0\"/>\n"
    "<supportedRuntime version = \"v2.0.50727\"/>\n"
    "</startup>\n"
    "</configuration>\n";
static_assert(kFrontEndConfigText.size() == 134);

struct TranslationRow {
  const wchar_t* culture;
  std::uint16_t resourceId;
};

// Written in this order, which is not the order of the ids. The culture names are
// folder names, case included.
inline constexpr std::array<TranslationRow, 12> kTranslationTable{{
    {L"pt-BR", 137},
    {L"zh", 138},
    {L"fr", 139},
    {L"de", 136},
    {L"pl", 135},
    {L"ru", 134},
    {L"zh-Hant", 140},
    {L"ja", 141},
    {L"ko", 142},
    {L"es", 143},
    {L"es-MX", 144},
    {L"it", 145},
}};

// The longest name staged below the working folder, in characters: a culture folder
// and its translation file. The working folder leaves room for it, so that every
// staged path fits MAX_PATH.
inline constexpr std::size_t kLongestStagedNameLength = [] {
  std::size_t longestCulture = 0;
  for (const TranslationRow& row : kTranslationTable) {
    longestCulture = std::max(longestCulture, std::wstring_view(row.culture).size());
  }
  const std::size_t translation = 1 + longestCulture + std::wstring_view(contract::kTranslationFileName).size();
  return std::max(
      {translation, std::wstring_view(kFrontEndConfigFileName).size(), std::wstring_view(kFrontEndFileName).size()});
}();
static_assert(kLongestStagedNameLength == 41);

}  // namespace kelvra::staging
