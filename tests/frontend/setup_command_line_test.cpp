#include "core/setup_command_line.h"

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

TEST(SetupCommandLine, CampaignAndProductBranches) {
  SetupCommandInputs campaign{L"de_DE", std::nullopt, std::nullopt, true, L"eyJhIjoxfQ=="};
  EXPECT_EQ(buildSetupCommandLine(campaign), L"/lang=de_DE /campaign=\"eyJhIjoxfQ==\"");
  campaign.encodedCampaign.clear();
  EXPECT_EQ(buildSetupCommandLine(campaign), L"/lang=de_DE /campaign=\"\"");

  SetupCommandInputs product{L"ja_JP", L"42", L"Star \"Game\"", true, L"ignored"};
  EXPECT_EQ(buildSetupCommandLine(product),
            L"/lang=ja_JP /webinstaller /product_id=42 /silent /game_name=\"Star Game\"");
  product.enoughSpaceForSilentSetup = false;
  product.gameName.reset();
  EXPECT_EQ(buildSetupCommandLine(product), L"/lang=ja_JP /webinstaller /product_id=42");
}
