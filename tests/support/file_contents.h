// Reading and writing whole files in tests.
#pragma once

#include <string>
#include <vector>

#include "base/scoped_handle.h"

[[nodiscard]] bool fileExists(const std::wstring& path);
[[nodiscard]] bool isFolder(const std::wstring& path);
// The file's bytes; empty when it can't be read.
[[nodiscard]] std::string readFileBytes(const std::wstring& path);
void writeFileBytes(const std::wstring& path, const std::string& bytes);
// Lines split at LF, each without its LF (a CR stays, so tests can check CR LF).
[[nodiscard]] std::vector<std::string> splitLines(const std::string& text);

// Holds a file open with no sharing, as another program might lock it.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const std::wstring& path);

 private:
  kelvra::base::ScopedFileHandle file_;
};
