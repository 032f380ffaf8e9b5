// How much of a hand-off document each program takes, side by side: the limits
// differ on purpose, and each is safe only beside the others.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvra::contract {

// remoteconfig.json is a few kilobytes. The bootstrapper needs only the allowed
// version: it reads one buffer of this many bytes and ignores the rest.
inline constexpr std::size_t kMaxRemoteConfigReadBytes = 65535;
// The bootstrapper's download may be larger than what it reads, because the front
// end reads the same file whole; beyond this a server is broken or hostile, and
// the download is stopped before it fills the disk.
inline constexpr std::uint64_t kMaxRemoteConfigDownloadBytes = 1024 * 1024;
// The front end reads the file whole. It may be a planted local override rather
// than a download, so its bound is on memory only, far above any real document.
inline constexpr std::size_t kMaxRemoteConfigFileBytes = 16 * 1024 * 1024;
// The front end holds each service answer (a configuration, a report's reply) in
// memory: the bound of every such body, a configuration's download included.
inline constexpr std::size_t kMaxResponseBodyBytes = 4 * 1024 * 1024;
// payload.campaign comes from a token that fits the trailer (10240 bytes), so its
// decoded text is smaller still; the bound only keeps a planted file from filling memory.
inline constexpr std::size_t kMaxCampaignBytes = 1024 * 1024;

}  // namespace kelvra::contract
