// Where the bootstrapper's log lives and how its folder comes to exist.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "contract/log_location.h"

namespace kelvra::run {

inline constexpr std::size_t kLogMaxFileSize = 5242880;
inline constexpr std::size_t kLogRotatedFiles = 3;
// Room a run keeps for its own lines before the log is due to rotate.
inline constexpr std::size_t kLogRunReserve = 262144;

// Checks the shared log folder's attributes before anything else. Fails (true)
// only when they can't be queried for a reason other than a missing file or
// path; the start-failure notice has then been shown.
[[nodiscard]] bool ensureLogFolder(const std::wstring& logFolderPath);

struct LogPlace {
  // The shared folders, held for the run; empty when the run logs to its user's
  // folder.
  std::vector<base::ScopedFileHandle> heldFolders;
  // The log file this run writes; empty when there is none at all.
  std::wstring filePath;
  // The shared log file, and why it is not used (empty when it is).
  std::wstring sharedPath;
  std::wstring refusal;
};

// The shared log in root\relativePath when it can be used, otherwise the same
// file name in the folder userFolder gives (asked only then; empty when there
// is none). The shared log is not used when its folder is refused (see
// base::openLogFolder), when the file can't be opened for appending, and when
// it is due to rotate and one of the files that rotation renames can't be
// renamed by this user.
[[nodiscard]] LogPlace chooseLogPlace(const std::wstring& root, const std::wstring& relativePath,
                                      std::wstring (*userFolder)());

// Why this user's run can't rotate the log at path (maxFiles older files beside
// it) before it has written reserve more bytes; empty when it can or needn't.
[[nodiscard]] std::wstring rotationRefusal(const std::wstring& path, std::size_t maxSize, std::size_t maxFiles,
                                           std::size_t reserve);

// Tells the front end, through the environment it inherits, which log this run
// writes and how long it was before the run's first line.
void publishRunLog(const std::wstring& filePath);

}  // namespace kelvra::run
