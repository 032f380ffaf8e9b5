// The requirement tests against the real registry and version of the test prefix
// (Wine's 32-bit default: Windows 7 SP1). Refusals show a modal notice, so they
// are tested through the bootstrapper itself (scenario tests).
#include "system/system_requirements.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_log.h"
#include "support/test_registry.h"
#include "system/system_probe.h"

using namespace kelvra::system;

namespace {

constexpr wchar_t kNet35[] = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v3.5";
constexpr wchar_t kNet4Full[] = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";

const std::string kOpen35 =
    "[warning] Failed to open registry key [Software\\Microsoft\\NET Framework Setup\\NDP\\v3.5]. Error code 2.";
const std::string kOpen4 =
    "[warning] Failed to open registry key [Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full]. Error code 2.";
const std::string kQuery4 =
    "[warning] Failed to query registry key [Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full]. Error code 2.";

std::string bytesOf(unsigned long long number, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(&number), size);
}

class SystemRequirementsTest : public LoggedTest {
 protected:
  RegistryKeyBackup frameworks{L"Software\\Microsoft\\NET Framework Setup"};
  SystemProbe probe{log.logger()};
};

}  // namespace

TEST_F(SystemRequirementsTest, FrameworkValuesAreReadAsFourRawBytes) {
  const struct {
    const char* name;
    std::function<void()> arrange;
    bool net35;
    bool net45;
    std::vector<std::string> lines;
  } cases[] = {
      {"nothing installed", [] {}, false, false, {kOpen35, kOpen4}},
      {"only 3.5", [] { setRegistryDword(kNet35, L"Install", 1); }, true, false, {kOpen4}},
      {"3.5 not installed", [] { setRegistryDword(kNet35, L"Install", 0); }, false, false, {kOpen4}},
      {"Install of 2", [] { setRegistryDword(kNet35, L"Install", 2); }, false, false, {kOpen4}},
      {"Install in one byte",
       [] { setRegistryBytes(kNet35, L"Install", REG_BINARY, bytesOf(1, 1)); },
       true,
       false,
       {kOpen4}},
      {"Install in eight bytes",
       [] { setRegistryBytes(kNet35, L"Install", REG_QWORD, bytesOf(1, 8)); },
       false,
       false,
       {"[warning] Failed to query registry key [Software\\Microsoft\\NET Framework Setup\\NDP\\v3.5]. Error code 234.",
        kOpen4}},
      {"only 4.8", [] { setRegistryDword(kNet4Full, L"Release", 528040); }, false, true, {kOpen35}},
      {"4.0 only", [] { createRegistryKey(kNet4Full); }, false, false, {kOpen35, kQuery4}},
      {"Install 0 without Release",
       [] {
         setRegistryDword(kNet35, L"Install", 0);
         createRegistryKey(kNet4Full);
       },
       false,
       false,
       {kQuery4}},
      {"Release 378388", [] { setRegistryDword(kNet4Full, L"Release", 378388); }, false, false, {kOpen35}},
      {"Release 378389", [] { setRegistryDword(kNet4Full, L"Release", 378389); }, false, true, {kOpen35}},
      {"Release with the top bit set",
       [] { setRegistryDword(kNet4Full, L"Release", 0x80000000u); },
       false,
       true,
       {kOpen35}},
  };
  std::size_t seen = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    deleteRegistryTree(L"Software\\Microsoft\\NET Framework Setup\\NDP");
    c.arrange();
    EXPECT_EQ(probe.isNet35Installed(), c.net35);
    EXPECT_EQ(probe.isNet45OrLaterInstalled(), c.net45);
    const auto all = log.messages();
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(seen), all.end()), c.lines);
    seen = all.size();
  }
}

TEST_F(SystemRequirementsTest, EitherFrameworkLetsTheRunGoOnAndThreeFiveComesFirst) {
  // The prefix reports Windows 7 SP1, the oldest system that passes.
  ASSERT_TRUE(probe.isWindows7Sp1OrGreater());
  setRegistryDword(kNet35, L"Install", 1);
  EXPECT_FALSE(checkSystemRequirements(probe));
  // The 4.x key is missing: a look at it would have left a warning.
  EXPECT_EQ(log.messages(), std::vector<std::string>{});

  deleteRegistryTree(kNet35);
  setRegistryDword(kNet4Full, L"Release", 528040);
  EXPECT_FALSE(checkSystemRequirements(probe));
  EXPECT_EQ(log.messages(), std::vector<std::string>{kOpen35});
}
