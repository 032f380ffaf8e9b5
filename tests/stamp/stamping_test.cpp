#include "stamp/stamping.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "contract/token_trailer.h"
#include "pe_builder.h"
#include "stamp/command.h"
#include "stamp/file_io.h"

using namespace kelvra::stamp;
using namespace kelvra::contract;

namespace {

namespace fs = std::filesystem;

using pe_builder::fakePe;

TEST(Stamping, ReplacesAnExistingTrailerInsteadOfAddingOne) {
  const std::string image = fakePe(20000);
  const StampedExecutable first = stampExecutable(image, std::string(10232, 'A'));
  const StampedExecutable second = stampExecutable(first.bytes, "YQ==");
  ASSERT_FALSE(second.refusal.refused);
  EXPECT_TRUE(second.replacedTrailer);
  EXPECT_EQ(second.bytes, image + *buildTokenTrailer("YQ=="));
  const StampedExecutable stripped = stripExecutable(second.bytes);
  EXPECT_TRUE(stripped.replacedTrailer);
  EXPECT_EQ(stripped.bytes, image);
  EXPECT_FALSE(stripExecutable(image).replacedTrailer);
  EXPECT_EQ(stripExecutable(image).bytes, image);
}

TEST(Stamping, RefusesWhatTheBootstrapperCouldNotUse) {
  const std::string image = fakePe(3000);
  struct Case {
    std::string executable;
    std::string token;
    std::string message;
  };
  const Case cases[] = {
      {image, std::string(10233, 'A'), "the token is 10233 bytes; the bootstrapper reads at most 10232"},
      {image, "", "the token is empty; the bootstrapper would read it as no token"},
      {"#!/bin/sh\necho hello\n" + std::string(100, ' '),
       "YQ==", "the input is not a PE file (no MZ header leading to a PE signature)"},
      {"MZ" + std::string(200, '\0'), "YQ==", "the input is not a PE file (no MZ header leading to a PE signature)"},
      {std::string("MZ"), "YQ==", "the input is not a PE file (no MZ header leading to a PE signature)"},
  };
  for (const Case& c : cases) {
    const StampedExecutable stamped = stampExecutable(c.executable, c.token);
    EXPECT_TRUE(stamped.refusal.refused);
    EXPECT_EQ(stamped.refusal.message, c.message);
    EXPECT_TRUE(stamped.bytes.empty());
  }
}

TEST(Stamping, CampaignIsWrittenCompactlyInItsOwnOrder) {
  const CampaignToken token = tokenFromCampaign("{\n  \"z\": 1,\n  \"a\": \"\xC3\xA4\"\n}\n");
  ASSERT_FALSE(token.refusal.refused);
  EXPECT_EQ(token.token, "eyJ6IjoxLCJhIjoiw6QifQ==");  // {"z":1,"a":"ä"}
  const CampaignToken bad = tokenFromCampaign("{\"campaign\": ");
  EXPECT_TRUE(bad.refusal.refused);
  EXPECT_EQ(bad.refusal.message.rfind("the campaign is not JSON: [json.exception.parse_error.101]", 0), 0u)
      << bad.refusal.message;
}

TEST(Stamping, ShowTellsTheTokenOrWhyThereIsNone) {
  const std::string image = fakePe(12000);
  EXPECT_EQ(describeToken(image).text, "no token: Wrong value of header, [-70:-70:-70:-70]");
  EXPECT_FALSE(describeToken(fakePe(100)).hasToken);
  const TokenReport report = describeToken(stampExecutable(image, "eyJ6IjoxLCJhIjoiw6QifQ==").bytes);
  EXPECT_TRUE(report.hasToken);
  EXPECT_EQ(report.text, "token (24 bytes): eyJ6IjoxLCJhIjoiw6QifQ==\ndecoded: {\"a\":\"\xC3\xA4\",\"z\":1}");
  EXPECT_EQ(describeToken(stampExecutable(image, "abcde").bytes).text,
            "token (5 bytes): abcde\ndecoded: none (Input data size is not a multiple of 4)");
}

// One command on files in a fresh folder.
class StampCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelvra-stamp-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    write("in.exe", fakePe(50000));
    chmod(path("in.exe").c_str(), 0755);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string path(const std::string& name) const { return (folder / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    const FileBytes file = readWholeFile(path(name));
    return file.problem.empty() ? file.bytes : "<missing>";
  }
  int run(std::vector<std::string> arguments) {
    out.str("");
    err.str("");
    return runStampCommand(arguments, out, err);
  }

  fs::path folder;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(StampCommand, StampsCampaignAndTokenAndLeavesTheInputAlone) {
  const std::string original = read("in.exe");
  write("campaign.json", R"({"login_parameters":"x","campaign":{"id":7}})");
  ASSERT_EQ(run({"--campaign", path("campaign.json"), path("in.exe"), path("out.exe")}), kStampSucceeded) << err.str();
  EXPECT_EQ(read("in.exe"), original);
  EXPECT_EQ(read("out.exe").size(), original.size() + kTrailerSize);
  EXPECT_EQ(fs::status(path("out.exe")).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);

  ASSERT_EQ(run({"--show", path("out.exe")}), kStampSucceeded);
  EXPECT_EQ(out.str(),
            "token (60 bytes): eyJsb2dpbl9wYXJhbWV0ZXJzIjoieCIsImNhbXBhaWduIjp7ImlkIjo3fX0=\n"
            "decoded: {\"campaign\":{\"id\":7},\"login_parameters\":\"x\"}\n");

  ASSERT_EQ(run({"--token", "YQ==", path("out.exe"), path("again.exe")}), kStampSucceeded);
  EXPECT_EQ(out.str(), "replaced the token trailer: " + path("again.exe") + " (token 4 bytes)\n");
  EXPECT_EQ(read("again.exe"), original + *buildTokenTrailer("YQ=="));
  EXPECT_EQ(err.str(),
            "kelvra-stamp: warning: the bootstrapper will not write payload.campaign for this token: "
            "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing "
            "value - invalid literal; last read: 'a'\n");

  ASSERT_EQ(run({"--strip", path("again.exe"), path("plain.exe")}), kStampSucceeded);
  EXPECT_EQ(read("plain.exe"), original);
  EXPECT_EQ(run({"--show", path("plain.exe")}), kStampFailed);
}

TEST_F(StampCommand, RefusalsWriteNothing) {
  write("campaign.json", "campaign=7");
  write("script.exe", "#!/bin/sh\n");
  write("out.exe", "previous output");
  const std::vector<std::vector<std::string>> commands = {
      {"--campaign", path("campaign.json"), path("in.exe"), path("out.exe")},
      {"--token", std::string(10233, 'A'), path("in.exe"), path("out.exe")},
      {"--token", "YQ==", path("script.exe"), path("out.exe")},
      {"--token", "YQ==", path("in.exe"), path("in.exe")},
      {"--token", "YQ==", path("in.exe")},
      {"--stamp", path("in.exe"), path("out.exe")},
  };
  for (const auto& command : commands) {
    EXPECT_EQ(run(command), kStampRefused) << command[0];
    EXPECT_FALSE(err.str().empty());
    EXPECT_EQ(read("out.exe"), "previous output");
  }
  EXPECT_EQ(read("in.exe"), fakePe(50000));
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
  }
}

TEST_F(StampCommand, SignedInputIsStampedInsideItsCertificateTableOrRefused) {
  const std::string signedImage = pe_builder::fakeSigned(fakePe(50000));
  write("signed.exe", signedImage);
  ASSERT_EQ(run({"--token", "e30=", path("signed.exe"), path("out.exe")}), kStampSucceeded) << err.str();
  EXPECT_EQ(out.str(), "stamped inside the signature's certificate table: " + path("out.exe") + " (token 4 bytes)\n");
  ASSERT_EQ(run({"--token", "e30=", path("out.exe"), path("again.exe")}), kStampSucceeded) << err.str();
  EXPECT_EQ(out.str(), "replaced the token trailer inside the signature's certificate table: " + path("again.exe") +
                           " (token 4 bytes)\n");
  ASSERT_EQ(run({"--strip", path("again.exe"), path("plain.exe")}), kStampSucceeded) << err.str();
  EXPECT_EQ(out.str(), "removed the token trailer, signature kept: " + path("plain.exe") + "\n");
  EXPECT_TRUE(read("plain.exe") == signedImage);

  // Bytes behind the table: neither place keeps the signature, so nothing is written.
  write("tail.exe", signedImage + "tail");
  EXPECT_EQ(run({"--token", "e30=", path("tail.exe"), path("tail-out.exe")}), kStampRefused);
  EXPECT_EQ(
      err.str().rfind("kelvra-stamp: refused: " + path("tail.exe") + ": the certificate table (bytes 50000 to ", 0), 0u)
      << err.str();
  EXPECT_FALSE(fs::exists(path("tail-out.exe")));
}

TEST_F(StampCommand, FailedWriteLeavesNoHalfFile) {
  const std::string output = path("missing-folder/out.exe");
  EXPECT_EQ(run({"--token", "e30=", path("in.exe"), output}), kStampFailed);
  EXPECT_EQ(err.str().rfind("kelvra-stamp: cannot create a temporary file beside " + output, 0), 0u) << err.str();
  EXPECT_EQ(run({"--token", "YQ==", path("nothing.exe"), path("out.exe")}), kStampFailed);
  EXPECT_FALSE(fs::exists(path("out.exe")));
}

}  // namespace
