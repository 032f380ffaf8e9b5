#include "core/composite_format.h"

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

TEST(CompositeFormat, FillsIndexedPlaceholdersAndKeepsTheRest) {
  EXPECT_EQ(formatComposite(L"Downloading ZAV Kelvra - {0} {2} of {1} {2}", {L"12", L"80", L"MB"}),
            L"Downloading ZAV Kelvra - 12 MB of 80 MB");
  EXPECT_EQ(formatComposite(L"{0} - ZAV Kelvra Web Installer", {L"Game"}), L"Game - ZAV Kelvra Web Installer");
  EXPECT_EQ(formatComposite(L"{{literal}} {1} {x} {", {L"a"}), L"{literal} {1} {x} {");
}
