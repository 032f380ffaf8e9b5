#include "notices/message_language.h"

namespace kelvra::notices {

int messageLanguageForLangId(std::uint16_t langId) {
  const int primary = langId & 0xFF;
  switch (primary) {
    case 0x16: return langId;
    case 0x04: return langId == 0x7C04 ? MessageLanguage::chineseTraditional : MessageLanguage::chineseSimplified;
    case 0x0A: return langId == 0x080A ? MessageLanguage::spanishMexico : MessageLanguage::spanish;
    case 0x07:
    case 0x09:
    case 0x0C:
    case 0x10:
    case 0x11:
    case 0x12:
    case 0x15:
    case 0x19: return primary;
    default: return MessageLanguage::english;
  }
}

}  // namespace kelvra::notices
