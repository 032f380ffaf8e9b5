// The run's working folder under the user's temporary folder: its name, its
// creation and its removal.
#pragma once

#include <cstddef>
#include <string>

#include "staging/staged_files.h"

namespace kelvra::run {

// Longest path, in characters without the terminator, that the removal buffer
// holds whole.
inline constexpr std::size_t kMaxRemovablePathLength = 259;
// Longest working folder path a run chooses: every file staged into it must fit
// MAX_PATH too, or staging would stop half-way, or leave files that the shell's
// removal can't reach.
inline constexpr std::size_t kMaxWorkingFolderPathLength = kMaxRemovablePathLength - staging::kLongestStagedNameLength;

// Sets path to the temporary folder followed by "KelvraInstaller_" and five letters
// from the system's cryptographic generator. Fails (true, logged) when there is no
// temporary path, when it does not fit in MAX_PATH, when the generator fails, or
// when the working folder path is longer than kMaxWorkingFolderPathLength; path is
// then left unchanged.
[[nodiscard]] bool makeWorkingFolderPath(std::wstring& path);

// Chooses a working folder path as above and creates the folder, with rights for
// the current user, SYSTEM and Administrators only. Never uses a folder that
// existed before: a taken name (someone else may have made it, to swap what we
// stage) is logged and another one chosen, at most kMaxWorkingFolderNameTries
// names in all. Fails (true, logged) when no folder could be made; path is then
// left unchanged and nothing needs removing.
[[nodiscard]] bool createWorkingFolder(std::wstring& path);

inline constexpr int kMaxWorkingFolderNameTries = 10;

// Deletes the folder at path with all its content. Succeeds when nothing is left
// at path. Never acts on a path that does not fit the removal buffer whole (a
// shortened path could name another folder), nor on a link (symbolic link or
// junction), whose removal could empty the folder it points to.
[[nodiscard]] bool removeWorkingFolder(const std::wstring& path);

}  // namespace kelvra::run
