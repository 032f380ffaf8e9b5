// remoteconfig.json as both programs read it: the bootstrapper's allowed version
// (content / windows / version) and the front end's configuration fields. Where
// both readings succeed they must name the same version. The digest verdict on
// whatever installerSha256 holds is one of its four, and refuses anything that is
// not 64 hexadecimal digits.
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "core/remote_config_record.h"
#include "core/setup_digests.h"
#include "fuzz_support.h"
#include "remoteconfig/remote_config_document.h"

using namespace kelvra::frontend::core;
using namespace kelvra::remoteconfig;

namespace {

std::optional<RemoteConfigRecord> frontEndReading(std::string_view text) {
  try {
    return parseRemoteConfig(text);
  } catch (const std::exception& error) {
    FUZZ_CHECK(error.what() != nullptr && *error.what() != '\0');
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ExactBytes exact(std::string_view(reinterpret_cast<const char*>(data), size));
  // The bootstrapper reads a zero-terminated buffer: the document ends at the first
  // zero byte.
  const std::string terminated(exact.view());
  const VersionReading version = readAllowedVersion(terminated.c_str());
  const auto record = frontEndReading(exact.view());

  FUZZ_CHECK(version.failure == VersionFailure::none || !version.text.empty());
  if (version.failure == VersionFailure::parse) FUZZ_CHECK(!record.has_value());
  if (version.failure == VersionFailure::none && record) FUZZ_CHECK(record->version == version.text);
  if (record && !record->version.empty()) FUZZ_CHECK(version.failure == VersionFailure::none);
  if (record && record->installerSha256) {
    // Judged against its own MD5 and against itself: only a well-formed value can pass.
    const ExpectedSetupDigests expected{record->installerMd5, record->installerSha256};
    const ActualSetupDigests actual{lowerCaseDigest(record->installerMd5), lowerCaseDigest(*record->installerSha256)};
    const SetupDigestVerdict verdict = judgeSetupDigests(expected, actual);
    FUZZ_CHECK((verdict == SetupDigestVerdict::accepted) == isSha256Text(*record->installerSha256));
    FUZZ_CHECK(verdict != SetupDigestVerdict::md5Mismatch);
  }
  return 0;
}
