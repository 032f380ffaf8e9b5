// The working folders that killed or crashed runs left in the temporary folder:
// their tokens and partial downloads are removed by a later run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kelvra::run {

// Removes, from the user's temporary folder, every "KelvraInstaller_" folder of
// five letters that is older than a day, owned by the current user, and that can
// be deleted whole; one log line for each folder looked at, removed or left.
// Never fails the run: what can't be removed now is left for a later one.
void removeLeftoverWorkingFolders();

namespace internal {

// Looks at most this many leftover folders, and this many files and folders in
// each, per run.
inline constexpr int kMaxLeftoverFolders = 32;
inline constexpr int kMaxLeftoverEntries = 256;

// The same in tempFolder (ending in a backslash), with "now" as a FILETIME value,
// for the user of userSid.
void removeLeftoverWorkingFolders(const std::wstring& tempFolder, ULONGLONG now, const std::vector<BYTE>& userSid);

}  // namespace internal

}  // namespace kelvra::run
