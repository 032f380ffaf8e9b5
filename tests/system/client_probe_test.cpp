// The client probe against the real registry of the test prefix. Both layouts are
// distinct keys there, so they can be written side by side: in a 32-bit prefix
// "Software\WOW6432Node" is an ordinary key, and a 64-bit test build reads and
// writes the 64-bit view, where it is the 32-bit view's root. (The shipped 32-bit
// program on 64-bit Windows sees both names as one key.)
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "support/test_log.h"
#include "support/test_registry.h"
#include "system/system_probe.h"

using namespace kelvra::base;
using namespace kelvra::system;

namespace {

constexpr wchar_t kPaths64[] = L"Software\\WOW6432Node\\ZAVsoft\\KelvraClient\\paths";
constexpr wchar_t kRoot64[] = L"Software\\WOW6432Node\\ZAVsoft\\KelvraClient";
constexpr wchar_t kPaths32[] = L"Software\\ZAVsoft\\KelvraClient\\paths";
constexpr wchar_t kRoot32[] = L"Software\\ZAVsoft\\KelvraClient";

const std::string kOpen64Paths =
    "[warning] Failed to open registry key [Software\\WOW6432NODE\\ZAVsoft\\KelvraClient\\paths]. Error code 2.";
const std::string kOpen32Paths =
    "[warning] Failed to open registry key [Software\\ZAVsoft\\KelvraClient\\paths]. Error code 2.";
const std::string kChecking = "[info] Checking kelvra existence.";
const std::string kNeither =
    "[info] Kelvra does not exist. Failed to get registry info at "
    "[Software\\WOW6432NODE\\ZAVsoft\\KelvraClient\\paths] and [Software\\ZAVsoft\\KelvraClient\\paths].";
const std::string kAssuming32 =
    "[info] Failed to get registry info at [Software\\WOW6432NODE\\ZAVsoft\\KelvraClient\\paths], but found info at "
    "[Software\\ZAVsoft\\KelvraClient\\paths]. Assuming that system is 32 bit.";

std::string found(const std::string& path) {
  return "[info] Kelvra exists - KelvraClient.exe found at [" + path + "].";
}
std::string notFound(const std::string& path) {
  return "[info] Kelvra does not exist - KelvraClient.exe not found despite registry information at [" + path + "].";
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

class ClientProbeTest : public LoggedTest {
 protected:
  void clearClientKeys() {
    deleteRegistryTree(L"Software\\ZAVsoft");
    deleteRegistryTree(L"Software\\WOW6432Node\\ZAVsoft");
  }

  RegistryKeyBackup plainKeys{L"Software\\ZAVsoft"};
  // Only our own key: the 64-bit view's "Software\WOW6432Node" can't be deleted.
  RegistryKeyBackup wow64Keys{L"Software\\WOW6432Node\\ZAVsoft"};
  SystemProbe probe{log.logger()};
  const std::wstring clientFolder = folder / L"Kelvra Client";
  LogTail newLines{log.path()};  // what the probe logged since the last look
};

}  // namespace

TEST_F(ClientProbeTest, RegistryLayoutsAndTheExecutableDecide) {
  ASSERT_TRUE(CreateDirectoryW(clientFolder.c_str(), nullptr));
  const std::wstring longest = L"C:\\" + std::wstring(256, L'f');
  const std::wstring tooLong = longest + L"g";
  ASSERT_EQ(longest.size(), 259u);
  const struct {
    const char* name;
    std::optional<std::wstring> folder64, name64, folder32, name32;
    bool terminated;
    bool executableOnDisk;
    bool installed;
    std::vector<std::string> lines;  // {F}: the client folder, {E}: the composed executable path
  } cases[] = {
      {"64-bit layout", clientFolder, L"KelvraClient.exe", {}, {}, true, true, true, {kChecking, found("{E}")}},
      {"32-bit layout only",
       {},
       {},
       clientFolder,
       L"KelvraClient.exe",
       true,
       true,
       true,
       {kChecking, kOpen64Paths, kAssuming32, found("{E}")}},
      {"folder under 64-bit, name only under 32-bit",
       clientFolder,
       {},
       clientFolder,
       L"KelvraClient.exe",
       true,
       true,
       false,
       {kChecking,
        "[warning] Failed to query registry key [Software\\WOW6432Node\\ZAVsoft\\KelvraClient]. Error code 2.",
        "[info] Kelvra does not exist. Failed to get registry info at Software\\WOW6432Node\\ZAVsoft\\KelvraClient."}},
      {"32-bit layout without the name",
       {},
       {},
       clientFolder,
       {},
       true,
       true,
       false,
       {kChecking, kOpen64Paths, kAssuming32,
        "[warning] Failed to query registry key [Software\\ZAVsoft\\KelvraClient]. Error code 2.",
        "[info] Kelvra does not exist. Failed to get registry info at Software\\ZAVsoft\\KelvraClient."}},
      {"neither layout", {}, {}, {}, {}, true, true, false, {kChecking, kOpen64Paths, kOpen32Paths, kNeither}},
      {"registry entries without the file",
       clientFolder,
       L"KelvraClient.exe",
       {},
       {},
       true,
       false,
       false,
       {kChecking, notFound("{E}")}},
      {"values without terminating nulls",
       clientFolder,
       L"KelvraClient.exe",
       {},
       {},
       false,
       true,
       true,
       {kChecking, found("{E}")}},
      {"folder ending in a backslash",
       clientFolder + L"\\",
       L"KelvraClient.exe",
       {},
       {},
       true,
       true,
       true,
       {kChecking, found("{F}\\\\KelvraClient.exe")}},
      {"folder of 259 characters",
       longest,
       L"KelvraClient.exe",
       {},
       {},
       true,
       false,
       false,
       {kChecking, notFound("{E}")}},
      {"folder of 260 characters and its null",
       tooLong,
       L"KelvraClient.exe",
       {},
       {},
       true,
       false,
       false,
       {kChecking,
        "[warning] Failed to query registry key [Software\\WOW6432NODE\\ZAVsoft\\KelvraClient\\paths]. Error code 234.",
        kOpen32Paths, kNeither}},
      {"folder of 260 characters without a null",
       tooLong,
       L"KelvraClient.exe",
       {},
       {},
       false,
       false,
       false,
       {kChecking, notFound("{E}")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    clearClientKeys();
    const auto set = [&c](const wchar_t* key, const wchar_t* name, const std::optional<std::wstring>& text) {
      if (!text) return;
      if (c.terminated)
        setRegistryString(key, name, *text);
      else
        setRegistryStringWithoutNull(key, name, *text);
    };
    set(kPaths64, L"client", c.folder64);
    set(kRoot64, L"clientExecutable", c.name64);
    set(kPaths32, L"client", c.folder32);
    set(kRoot32, L"clientExecutable", c.name32);
    // The client's own folder is the one on disk; the long ones never are.
    const std::wstring executable = clientFolder + L"\\KelvraClient.exe";
    if (c.executableOnDisk)
      writeFileBytes(executable, "MZ");
    else
      DeleteFileW(executable.c_str());

    const std::wstring usedFolder = c.folder64.value_or(c.folder32.value_or(L""));
    std::vector<std::string> expected = c.lines;
    for (auto& line : expected) {
      replaceAll(line, "{E}", toUtf8(usedFolder + L"\\KelvraClient.exe"));
      replaceAll(line, "{F}", toUtf8(clientFolder));
    }
    EXPECT_EQ(probe.isClientInstalled(), c.installed);
    EXPECT_EQ(newLines.messages(), expected);
    const std::wstring path = probe.getClientExecutablePath();
    EXPECT_EQ(path.empty(), !c.installed) << toUtf8(path);
    if (c.installed) {
      EXPECT_EQ(path, usedFolder + L"\\KelvraClient.exe");
    }
    newLines.messages();
  }
}

TEST_F(ClientProbeTest, EveryQueryLooksAgain) {
  ASSERT_TRUE(CreateDirectoryW(clientFolder.c_str(), nullptr));
  setRegistryString(kPaths32, L"client", clientFolder);
  setRegistryString(kRoot32, L"clientExecutable", L"KelvraClient.exe");
  const std::wstring executable = clientFolder + L"\\KelvraClient.exe";
  writeFileBytes(executable, "MZ");
  EXPECT_EQ(probe.getClientExecutablePath(), executable);

  ASSERT_TRUE(DeleteFileW(executable.c_str()));
  EXPECT_EQ(probe.getClientExecutablePath(), L"");
  writeFileBytes(executable, "MZ");
  deleteRegistryTree(L"Software\\ZAVsoft");
  EXPECT_EQ(probe.getClientExecutablePath(), L"");
}

TEST_F(ClientProbeTest, ReadReportsTypeAndSizeAndLeavesTheRestOfTheBuffer) {
  setRegistryString(kPaths32, L"client", L"C:\\Kelvra");
  wchar_t buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), L'#');
  DWORD type = 0;
  DWORD size = sizeof buffer;
  ASSERT_TRUE(probe.tryReadRegistryValue(HKEY_LOCAL_MACHINE, kPaths32, L"client", type, buffer, size));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 10 * sizeof(wchar_t));
  EXPECT_EQ(std::wstring(buffer, 10), std::wstring(L"C:\\Kelvra\0", 10));
  EXPECT_EQ(buffer[10], L'#');

  // The cases without a terminating null really store none.
  setRegistryStringWithoutNull(kPaths32, L"client", L"C:\\Kelvra");
  size = sizeof buffer;
  ASSERT_TRUE(probe.tryReadRegistryValue(HKEY_LOCAL_MACHINE, kPaths32, L"client", type, nullptr, size));
  EXPECT_EQ(size, 9 * sizeof(wchar_t));

  // A missing value of an existing key fails the query, not the open.
  size = sizeof buffer;
  EXPECT_FALSE(probe.tryReadRegistryValue(HKEY_LOCAL_MACHINE, kPaths32, L"other", type, buffer, size));
  EXPECT_EQ(newLines.messages(),
            std::vector<std::string>{
                "[warning] Failed to query registry key [Software\\ZAVsoft\\KelvraClient\\paths]. Error code 2."});
}
