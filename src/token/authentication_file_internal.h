// The authentication file copy with the reading of its download mark as a
// parameter: Wine keeps no alternate data streams, so tests play the stream.
#pragma once

#include <cstdint>
#include <string>

namespace kelvra::token::internal {

// What a file's Zone.Identifier stream holds.
struct ZoneStream {
  bool missing = false;  // no stream, or a file system without streams: no mark
  bool readFailed = false;
  std::uint32_t error = 0;  // GetLastError's code when readFailed
  std::string text;         // at most kMaxZoneStreamBytes of it
};

using ZoneStreamReader = ZoneStream (*)(const std::wstring& filePath);

// The system's own reading of filePath's stream.
[[nodiscard]] ZoneStream readZoneStream(const std::wstring& filePath);

void copyAuthenticationFile(const std::wstring& workingFolderPath, ZoneStreamReader readStream);

}  // namespace kelvra::token::internal
