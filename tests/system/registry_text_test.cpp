#include "system/registry_text.h"

#include <string>

#include <gtest/gtest.h>

using namespace kelvra::system;

TEST(RegistryText, EndsAtTheFirstNullOrTheEndOfTheData) {
  // Every buffer is followed by characters that must never show up.
  const struct {
    const wchar_t* name;
    std::wstring memory;
    std::size_t bufferLength;
    std::size_t dataBytes;
    std::wstring expected;
  } cases[] = {
      {L"terminated", std::wstring(L"abc\0xyz#", 8), 7, 8 * sizeof(wchar_t), L"abc"},
      {L"no terminator", L"abcd####", 4, 4 * sizeof(wchar_t), L"abcd"},
      {L"data shorter than the buffer", L"abcdef##", 6, 3 * sizeof(wchar_t), L"abc"},
      {L"size claims more than the buffer", L"abcd####", 4, 100, L"abcd"},
      {L"odd byte count", L"abcd####", 4, 3 * sizeof(wchar_t) + 1, L"abc"},
      {L"no data", L"abcd####", 4, 0, L""},
      {L"empty string", std::wstring(L"\0abc####", 8), 4, sizeof(wchar_t), L""},
      {L"a whole 260-character buffer", std::wstring(260, L'f') + L"####", 260, 260 * sizeof(wchar_t),
       std::wstring(260, L'f')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(registryTextFromBuffer(c.memory.data(), c.bufferLength, c.dataBytes), c.expected) << c.name;
  }
}
