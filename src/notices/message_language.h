// Which of the notice languages a Windows UI language selects. Platform-free.
#pragma once

#include <cstdint>

namespace kelvra::notices {

// Message language codes: a primary language number, or a whole LANGID for the
// three variants that have texts of their own.
namespace MessageLanguage {
inline constexpr int chineseSimplified = 0x04;
inline constexpr int german = 0x07;
inline constexpr int english = 0x09;
inline constexpr int spanish = 0x0A;
inline constexpr int french = 0x0C;
inline constexpr int italian = 0x10;
inline constexpr int japanese = 0x11;
inline constexpr int korean = 0x12;
inline constexpr int polish = 0x15;
inline constexpr int russian = 0x19;
inline constexpr int portugueseBrazil = 0x0416;
inline constexpr int spanishMexico = 0x080A;
inline constexpr int chineseTraditional = 0x7C04;
}  // namespace MessageLanguage

// The message language code for a UI language. The primary language is taken as
// the low 8 bits of the LANGID; Portuguese keeps its whole LANGID, so that only
// Brazil (0x0416) finds texts and Portugal (0x0816) gets English.
[[nodiscard]] int messageLanguageForLangId(std::uint16_t langId);

}  // namespace kelvra::notices
