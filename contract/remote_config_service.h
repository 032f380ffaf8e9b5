// Where both programs ask the configuration service for remoteconfig.json: the
// bootstrapper first, the front end when the bootstrapper left no file.
#pragma once

namespace kelvra::contract {

// Follows "https://" and the build's host. The front end puts "/clients/" and the
// product id between the path and the query when it has an id.
inline constexpr wchar_t kRemoteConfigServicePath[] = L"/components/webinstaller";
inline constexpr wchar_t kRemoteConfigVersionQuery[] = L"?component_version=";
// The version of the document's layout that both programs read.
inline constexpr wchar_t kRemoteConfigVersion[] = L"2.0.0";

}  // namespace kelvra::contract
