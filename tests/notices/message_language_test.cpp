// The notices' language, from the user interface's language identifier.
#include "notices/message_language.h"

#include <cstdint>
#include <ios>

#include <gtest/gtest.h>

using namespace kelvra::notices;

TEST(MessageLanguage, MapsEveryLangIdCase) {
  const struct {
    std::uint16_t langId;
    int code;
  } cases[] = {
      {0x0409, 9},
      {0x0809, 9},
      {0x0413, 9},
      {0x0000, 9},
      {0xFFFF, 9},
      {0x0407, 7},
      {0x0807, 7},
      {0x040C, 12},
      {0x0410, 16},
      {0x0411, 17},
      {0x0412, 18},
      {0x0415, 21},
      {0x0419, 25},
      {0x0416, 1046},
      {0x0816, 2070},
      {0x0804, 4},
      {0x0404, 4},
      {0x0C04, 4},
      {0x1404, 4},
      {0x1004, 4},
      {0x7C04, 31748},
      {0x040A, 10},
      {0x0C0A, 10},
      {0x2C0A, 10},
      {0x080A, 2058},
      // The primary language is the low 8 bits, not PRIMARYLANGID's 10 bits.
      {0x0107, 7},
      {0x0209, 9},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(messageLanguageForLangId(c.langId), c.code) << std::hex << c.langId;
  }
}
