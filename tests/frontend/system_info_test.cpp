// What reports and events say about the machine, read from the test prefix's
// registry (put back as it was afterwards).
#include "platform/system_info.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "support/test_registry.h"

using namespace kelvra::frontend;

namespace {

// The key in the view the front end reads: Wow6432Node in a 64-bit test build.
constexpr const wchar_t* kClient =
    sizeof(void*) == 8 ? L"SOFTWARE\\Wow6432Node\\ZAVsoft\\KelvraClient" : L"SOFTWARE\\ZAVsoft\\KelvraClient";
constexpr wchar_t kSystem[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

TEST(InstalledClientVersion, KeepsDigitsAndFullStopsOnly) {
  const RegistryKeyBackup backup(kClient);
  struct Case {
    const wchar_t* stored;
    bool withNull;
    const char* expected;
  } cases[] = {
      {L"2.4.1", true, "2.4.1"},
      {L"v2.4.1-beta (build 77)", true, "2.4.177"},
      {L"3.0", false, "3.0"},
      {L"", true, ""},
  };
  for (const Case& c : cases) {
    if (c.withNull) {
      setRegistryString(kClient, L"version", c.stored);
    } else {
      setRegistryStringWithoutNull(kClient, L"version", c.stored);
    }
    EXPECT_EQ(installedClientVersion(), c.expected) << std::string(c.expected);
  }
}

TEST(InstalledClientVersion, MissingKeyOrValueOrTextIsEmpty) {
  const RegistryKeyBackup backup(kClient);
  EXPECT_EQ(installedClientVersion(), "");
  createRegistryKey(kClient);
  EXPECT_EQ(installedClientVersion(), "");
  setRegistryDword(kClient, L"version", 7);
  EXPECT_EQ(installedClientVersion(), "");
}

TEST(SystemFriendlyName, NamesProductAndServicePack) {
  // The system's key holds much more that Wine needs: only the two values change.
  const RegistryValueBackup product(kSystem, L"ProductName");
  const RegistryValueBackup servicePack(kSystem, L"CSDVersion");
  struct Case {
    const wchar_t* product;
    const wchar_t* servicePack;
    const wchar_t* expected;
  } cases[] = {
      {L"Windows 7 Professional", L"Service Pack 1", L"Microsoft Windows 7 Professional Service Pack 1"},
      {L"Microsoft Windows XP", L"", L"Microsoft Windows XP"},
      {L"Windows 10 Pro ", nullptr, L"Microsoft Windows 10 Pro"},
      {L"", L"Service Pack 1", L""},
      {nullptr, L"Service Pack 2", L""},
  };
  for (const Case& c : cases) {
    for (const wchar_t* name : {L"ProductName", L"CSDVersion"}) deleteRegistryValue(kSystem, name);
    if (c.product != nullptr) setRegistryString(kSystem, L"ProductName", c.product);
    if (c.servicePack != nullptr) setRegistryString(kSystem, L"CSDVersion", c.servicePack);
    EXPECT_EQ(systemFriendlyName(), c.expected);
  }
}

}  // namespace
