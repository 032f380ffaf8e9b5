// The run's working folder under the user's temporary folder: its name and its
// removal. Creating it is the remote-configuration step's job.
#pragma once

#include <cstddef>
#include <string>

// Longest working folder path, in characters without the terminator, that the
// removal buffer holds whole.
inline constexpr std::size_t kMaxWorkingFolderPathLength = 259;

// Sets path to the temporary folder followed by "KelvraInstaller_" and five random
// letters. Fails (true, logged) when there is no temporary path, or when it or the
// working folder path would not fit in MAX_PATH; path is then left unchanged.
[[nodiscard]] bool makeWorkingFolderPath(std::wstring& path);

// Fills buffer with count letters from A-Z and a-z and a terminating zero; the
// generator is seeded with the current second on every call.
void makeRandomLetters(char* buffer, int count);

// Deletes the folder at path with all its content. Succeeds when nothing is left
// at path. Never acts on a path that does not fit the removal buffer whole: a
// shortened path could name another folder.
[[nodiscard]] bool removeWorkingFolder(const std::wstring& path);
