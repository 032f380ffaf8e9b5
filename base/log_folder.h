// The shared log folder under ProgramData, opened so that no other user can
// redirect what we write there, and the user's own folder for when it can't be
// used. The bootstrapper and the front end follow the same rule.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/scoped_handle.h"

namespace kelvra::base {

// Rights of each folder we create on the way to the log folder, not inherited
// from ProgramData: SYSTEM and Administrators full control; the machine's users
// list and traverse the folder and create files and folders in it; each file
// gets read, write and append for the machine's users, and full control
// (renaming and deleting, which rotation needs) for its creator only.
inline constexpr wchar_t kLogFolderSddl[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200af;;;BU)(A;OIIO;0x12019f;;;"
    L"BU)(A;OICIIO;FA;;;CO)";

struct LogFolderOpening {
  // Every folder from the first below the root down, held open without delete
  // sharing so that none can be renamed or replaced while they are held.
  std::vector<ScopedFileHandle> heldFolders;
  // Why the folder can't be used; empty when it can.
  std::wstring refusal;
};

// Creates each folder of relativePath (backslash separated) below root with
// kLogFolderSddl when missing and opens it without following a link. Refuses a
// link (junction or symbolic link) or a file anywhere along the way and, when
// this process runs elevated, a folder whose owner mayWriteBelow does not
// accept.
[[nodiscard]] LogFolderOpening openLogFolder(const std::wstring& root, const std::wstring& relativePath);

// Whether an elevated run may write below a folder owned by ownerSid (both SIDs
// as strings): only when SYSTEM, the Administrators, TrustedInstaller or the
// current user owns it. A run that is not elevated can't be led to write where
// its user couldn't, so the owner does not matter then.
[[nodiscard]] bool mayWriteBelow(bool elevated, std::wstring_view ownerSid, std::wstring_view userSid);

// Opens the log file at path for appending as the C runtime does (creating it
// when missing) and closes it again. Returns why it can't be used, empty when
// it can: it can't be opened, or it is a link or has more than one name.
[[nodiscard]] std::wstring logFileRefusal(const std::wstring& path);

// The user's own log folder, "<local application data>\ZAVsoft\Kelvra\logs\",
// created when missing; empty when there is no local application data folder.
[[nodiscard]] std::wstring userLogFolder();

// value in decimal digits (std::to_wstring would bring in the C runtime's wide
// printf).
[[nodiscard]] std::wstring decimalText(unsigned long long value);

// Creates every folder along the path with default rights, passing over those
// that exist or can't be made.
void createDirectoryChain(const std::wstring& path);

}  // namespace kelvra::base
