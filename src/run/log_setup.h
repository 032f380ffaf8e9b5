// Where the bootstrapper's log lives and how its folder comes to exist.
#pragma once

#include <cstddef>
#include <string>

#include "base/log_location.h"

namespace kelvra::run {

inline constexpr std::size_t kLogMaxFileSize = 5242880;
inline constexpr std::size_t kLogRotatedFiles = 3;

// Makes sure the log folder exists. Fails (true) only when its attributes can't be
// queried for a reason other than a missing file or path; the start-failure notice
// has then been shown. A folder that can't be created shows later, when the log
// file can't be opened.
[[nodiscard]] bool ensureLogFolder(std::wstring logFolderPath);

// Creates every folder along the path, passing over those that exist or can't be
// made: a folder that is missing afterwards shows when the log file can't be
// opened.
void createDirectoryChain(std::wstring path);

}  // namespace kelvra::run
