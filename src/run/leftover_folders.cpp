#include "run/leftover_folders.h"

#include <aclapi.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/logging.h"
#include "base/scoped_handle.h"
#include "run/private_folder.h"

namespace kelvra::run {

namespace {

constexpr wchar_t kFolderPrefix[] = L"KelvraInstaller_";
constexpr std::size_t kFolderPrefixLength = 16;
constexpr std::size_t kSuffixLength = 5;
constexpr ULONGLONG kOneDay = 24ULL * 60 * 60 * 10'000'000;

ULONGLONG fileTimeValue(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool isAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Only names a run chooses: the prefix and five letters.
bool isWorkingFolderName(const std::wstring& name) {
  if (name.size() != kFolderPrefixLength + kSuffixLength || name.compare(0, kFolderPrefixLength, kFolderPrefix) != 0) {
    return false;
  }
  for (std::size_t i = kFolderPrefixLength; i < name.size(); ++i) {
    if (!isAsciiLetter(name[i])) return false;
  }
  return true;
}

struct OpenedEntry {
  std::wstring path;
  base::ScopedFileHandle handle;
};

// One leftover, removed whole or not at all. Every file is opened with delete
// access and no sharing before anything is deleted: a file that another program
// (the front end of a killed run) still has open fails that open, and the folder
// is then left as it is. Folders are held without delete sharing, so none can be
// swapped for a link while we work; a link found anywhere stops the removal,
// since deleting through it would reach someone else's files.
class LeftoverRemoval {
 public:
  LeftoverRemoval(std::wstring path, const std::vector<BYTE>& userSid) : path_(std::move(path)), userSid_(userSid) {}

  // True when the folder (or part of it) is left; the reason is logged.
  [[nodiscard]] bool remove() {
    if (openFolder(path_) || checkOwner() || collect() || deleteFiles() || deleteFolders()) return true;
    base::logInfo(base::findFileLogger(), L"Removed leftover working folder [{}].", path_);
    return false;
  }

 private:
  [[nodiscard]] bool left(std::wstring_view reason) {
    base::logWarning(base::findFileLogger(), L"Left leftover working folder [{}]: {}", path_, reason);
    return true;
  }

  [[nodiscard]] bool leftFor(const std::wstring& entry, DWORD error) {
    base::logWarning(base::findFileLogger(),
                     L"Left leftover working folder [{}]: [{}] is in use or can't be deleted. "
                     L"Error code {}.",
                     path_, entry, error);
    return true;
  }

  [[nodiscard]] bool isLinkOrWrongKind(HANDLE handle, bool folder, const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(handle, &info)) {
      const DWORD error = GetLastError();
      return leftFor(path, error);
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
      return linkInside(path);
    }
    return false;
  }

  [[nodiscard]] bool linkInside(const std::wstring& path) {
    if (path == path_) return left(L"it is a link to another place.");
    base::logWarning(base::findFileLogger(), L"Left leftover working folder [{}]: [{}] is a link to another place.",
                     path_, path);
    return true;
  }

  [[nodiscard]] bool openFolder(const std::wstring& path) {
    base::ScopedFileHandle folder(CreateFileW(path.c_str(),
                                              DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) {
      const DWORD error = GetLastError();
      return leftFor(path, error);
    }
    if (isLinkOrWrongKind(folder.get(), true, path)) return true;
    folders_.push_back({path, std::move(folder)});
    return false;
  }

  [[nodiscard]] bool openFile(const std::wstring& path) {
    // No sharing: fails while anyone else has the file open, and keeps everyone
    // out until it is deleted.
    base::ScopedFileHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
      const DWORD error = GetLastError();
      return leftFor(path, error);
    }
    if (isLinkOrWrongKind(file.get(), false, path)) return true;
    files_.push_back({path, std::move(file)});
    return false;
  }

  // Ours only: another user's folder of our name is theirs to remove.
  [[nodiscard]] bool checkOwner() {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR rawDescriptor = nullptr;
    const DWORD result = GetSecurityInfo(folders_.front().handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                         &owner, nullptr, nullptr, nullptr, &rawDescriptor);
    const base::ScopedLocalMemory descriptor(rawDescriptor);
    if (result != ERROR_SUCCESS) return leftFor(path_, result);
    if (owner == nullptr || !EqualSid(owner, const_cast<BYTE*>(userSid_.data()))) {
      return left(L"it belongs to someone else.");
    }
    return false;
  }

  // Opens everything inside, folder by folder. Each folder is read through the
  // handle we hold (Wine's FindFirstFileW won't share with our delete access).
  [[nodiscard]] bool collect() {
    int entries = 0;
    // FILE_ID_BOTH_DIR_INFO needs 8-byte alignment.
    std::vector<ULONGLONG> buffer(8192);
    for (std::size_t next = 0; next < folders_.size(); ++next) {
      const std::wstring folder = folders_[next].path;
      const HANDLE handle = folders_[next].handle.get();
      for (;;) {
        if (!GetFileInformationByHandleEx(handle, FileIdBothDirectoryInfo, buffer.data(),
                                          static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG)))) {
          const DWORD error = GetLastError();
          if (error == ERROR_NO_MORE_FILES) break;
          return leftFor(folder, error);
        }
        const auto* bytes = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
          const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
          const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
          if (name != L"." && name != L".." && collectEntry(folder + L"\\" + name, entry->FileAttributes, entries)) {
            return true;
          }
          if (entry->NextEntryOffset == 0) break;
          bytes += entry->NextEntryOffset;
        }
      }
    }
    return false;
  }

  [[nodiscard]] bool collectEntry(const std::wstring& path, DWORD attributes, int& entries) {
    if (++entries > internal::kMaxLeftoverEntries) {
      base::logWarning(base::findFileLogger(),
                       L"Left leftover working folder [{}]: it holds more than [{}] files and "
                       L"folders.",
                       path_, internal::kMaxLeftoverEntries);
      return true;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return linkInside(path);
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? openFolder(path) : openFile(path);
  }

  // Every file is marked for deletion, or, when one can't be, none is.
  [[nodiscard]] bool deleteFiles() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
      FILE_DISPOSITION_INFO disposition = {TRUE};
      if (!SetFileInformationByHandle(files_[i].handle.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
        const DWORD error = GetLastError();
        disposition.DeleteFile = FALSE;
        for (std::size_t j = 0; j < i; ++j) {
          (void)SetFileInformationByHandle(files_[j].handle.get(), FileDispositionInfo, &disposition,
                                           sizeof disposition);
        }
        return leftFor(files_[i].path, error);
      }
    }
    // Closing deletes them.
    files_.clear();
    return false;
  }

  // Innermost first: each folder is empty once those inside it are gone.
  [[nodiscard]] bool deleteFolders() {
    while (!folders_.empty()) {
      OpenedEntry& folder = folders_.back();
      FILE_DISPOSITION_INFO disposition = {TRUE};
      if (!SetFileInformationByHandle(folder.handle.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
        const DWORD error = GetLastError();
        base::logError(base::findFileLogger(),
                       L"Failed to remove leftover working folder [{}] whole: [{}] is left. "
                       L"Error code {}.",
                       path_, folder.path, error);
        return true;
      }
      folders_.pop_back();
    }
    return false;
  }

  const std::wstring path_;
  const std::vector<BYTE>& userSid_;
  // The leftover first, each folder before those inside it.
  std::vector<OpenedEntry> folders_;
  std::vector<OpenedEntry> files_;
};

}  // namespace

void removeLeftoverWorkingFolders() {
  wchar_t tempPath[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, tempPath);
  // Choosing the working folder next logs this failure and ends the run.
  if (length == 0 || length >= MAX_PATH) return;
  std::vector<BYTE> userSid;
  if (readCurrentUserSid(userSid)) return;
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  internal::removeLeftoverWorkingFolders(std::wstring(tempPath, length), fileTimeValue(now), userSid);
}

void internal::removeLeftoverWorkingFolders(const std::wstring& tempFolder, ULONGLONG now,
                                            const std::vector<BYTE>& userSid) {
  WIN32_FIND_DATAW data = {};
  const base::ScopedFindHandle find(FindFirstFileW((tempFolder + kFolderPrefix + L"*").c_str(), &data));
  if (!find) return;
  int lookedAt = 0;
  do {
    const std::wstring name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !isWorkingFolderName(name)) continue;
    if (++lookedAt > kMaxLeftoverFolders) {
      base::logInfo(base::findFileLogger(), "Left further leftover working folders for a later run: [{}] looked at.",
                    kMaxLeftoverFolders);
      return;
    }
    const std::wstring path = tempFolder + name;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      base::logWarning(base::findFileLogger(), L"Left leftover working folder [{}]: it is a link to another place.",
                       path);
      continue;
    }
    // The later of both times: a folder still written to by a run is never old.
    const ULONGLONG changed = std::max(fileTimeValue(data.ftCreationTime), fileTimeValue(data.ftLastWriteTime));
    if (changed > now || now - changed < kOneDay) {
      base::logInfo(base::findFileLogger(), L"Left leftover working folder [{}]: it is less than a day old.", path);
      continue;
    }
    (void)LeftoverRemoval(path, userSid).remove();
  } while (FindNextFileW(find.get(), &data));
}

}  // namespace kelvra::run
