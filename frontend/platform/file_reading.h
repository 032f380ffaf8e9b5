// Whole small files read into memory: the campaign and the remote configuration.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace kelvra::frontend {

struct FileReading {
  bool failed = false;
  DWORD error = 0;    // Windows error code when failed (ERROR_FILE_TOO_LARGE past the limit)
  std::string bytes;  // the file's bytes when it was read
};

// Reads the file whole while others may be writing it. A file larger than
// maxBytes fails instead of filling memory.
[[nodiscard]] FileReading readWholeFile(const std::wstring& path, std::size_t maxBytes);

// True when path names an existing file (not a folder).
[[nodiscard]] bool isExistingFile(const std::wstring& path);

// The text of a failed reading for a log line.
[[nodiscard]] std::wstring describeReadFailure(const std::wstring& path, DWORD error);

// The folder of this program's executable, without a trailing backslash.
[[nodiscard]] std::wstring executableFolder();

}  // namespace kelvra::frontend
