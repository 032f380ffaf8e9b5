// The remote configuration as the front end uses it, and the address it is
// downloaded from when the bootstrapper left none. Platform-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvra::frontend::core {

// Members of content / windows; absent (or null) members keep these defaults and
// members the front end does not use are ignored.
struct RemoteConfigRecord {
  std::string version;       // client version named in events and reports
  std::string downloadLink;  // where the client setup is downloaded from
  std::string installerMd5;  // expected digest of the setup, hexadecimal
  // A second expected digest, checked as well when present. Kept as given: whether
  // it is 64 hexadecimal digits is judged with the download (core/setup_digests.h).
  std::optional<std::string> installerSha256;
  bool deprecated = false;  // true marks this front end as outdated
};

// Maps one JSON document onto the record. Throws std::exception (with a message
// for the log) when the text is not JSON, its top level is not an object, or a
// member that the record maps has another kind than the record's.
[[nodiscard]] RemoteConfigRecord parseRemoteConfig(std::string_view text);

// "https://" + host + the service's path (+ "/clients/" + the product id when
// there is one) + its version query + the configuration version
// (contract/remote_config_service.h). The
// product id is percent-encoded: it comes from the command line and must not be
// able to change the path or the query.
[[nodiscard]] std::wstring remoteConfigAddress(std::wstring_view host, std::wstring_view productId,
                                               std::wstring_view configVersion);

}  // namespace kelvra::frontend::core
