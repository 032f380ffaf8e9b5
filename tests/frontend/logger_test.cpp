#include "platform/logger.h"

#include <string>

#include <gtest/gtest.h>

using namespace kelvra::frontend;

TEST(LoggerTest, BothLogsShareTheBootstrappersFolder) {
  const std::wstring own = Logger::logPath(false);
  const std::wstring bootstrapper = Logger::logPath(true);
  const std::wstring folder = L"\\ZAVsoft\\Kelvra\\logs\\";
  ASSERT_GT(own.size(), folder.size());
  EXPECT_EQ(own.substr(own.size() - folder.size() - 25), folder + L"InstallerWebinstaller.log");
  EXPECT_EQ(bootstrapper.substr(0, bootstrapper.size() - 25), own.substr(0, own.size() - 25));
  EXPECT_EQ(bootstrapper.substr(bootstrapper.size() - 25), L"InstallerBootstrapper.log");
}
