#include "handoff/launch_parameters.h"

#include <gtest/gtest.h>

using namespace kelvra::handoff;

TEST(LaunchParameters, ExtraArgumentIsQuotedAfterABlank) {
  const struct {
    std::wstring parameterText;
    std::wstring extraArgument;
    std::wstring expected;
  } cases[] = {
      {L"", L"", L""},
      {L"", L"two words", L" \"two words\""},
      {L"/quiet", L"", L"/quiet"},
      {L"/quiet", L"C:\\a b", L"/quiet \"C:\\a b\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(buildLaunchParameters(c.parameterText, c.extraArgument), c.expected);
  }
}
