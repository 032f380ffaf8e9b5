// The run's view of the machine: registry reading, the installed client and the
// system requirement tests. Every query reads the registry and the disk afresh.
#pragma once

#include <windows.h>

#include <string>

#include "base/logging.h"

namespace kelvra::system {

// Registry locations of an installed client, under HKEY_LOCAL_MACHINE. The two
// WOW64 spellings differ on purpose; the registry treats them alike.
inline constexpr wchar_t kClientPathsKey64[] = L"Software\\WOW6432NODE\\ZAVsoft\\KelvraClient\\paths";
inline constexpr wchar_t kClientKey64[] = L"Software\\WOW6432Node\\ZAVsoft\\KelvraClient";
inline constexpr wchar_t kClientPathsKey32[] = L"Software\\ZAVsoft\\KelvraClient\\paths";
inline constexpr wchar_t kClientKey32[] = L"Software\\ZAVsoft\\KelvraClient";
inline constexpr wchar_t kClientFolderValue[] = L"client";
inline constexpr wchar_t kClientExecutableValue[] = L"clientExecutable";
// Characters of each buffer the client's folder and executable name are read into.
inline constexpr DWORD kClientValueLength = 260;

inline constexpr wchar_t kNet35Key[] = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v3.5";
inline constexpr wchar_t kNet35Value[] = L"Install";
inline constexpr wchar_t kNet4FullKey[] = L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
inline constexpr wchar_t kNet4ReleaseValue[] = L"Release";
// The first "Release" of .NET Framework 4.5.
inline constexpr DWORD kNet45MinimumRelease = 378389;

class SystemProbe {
 public:
  explicit SystemProbe(base::LoggerHandle logger);

  // Reads one value of subKey under hive into the caller's data buffer, opened
  // with KEY_READ and the process's own registry view. type receives the
  // registry type (never examined); dataSize holds the buffer's size in bytes on
  // entry and the data's size on success. Nothing is converted or terminated.
  // False, with a warning naming subKey and the status, when the key can't be
  // opened or the value can't be read (a value larger than the buffer: 234).
  [[nodiscard]] bool tryReadRegistryValue(HKEY hive, const wchar_t* subKey, const wchar_t* valueName, DWORD& type,
                                          void* data, DWORD& dataSize) const;

  // True when the registry names a client executable that exists on disk. Stores
  // the composed path whenever it gets that far, found or not.
  [[nodiscard]] bool isClientInstalled();
  // The client executable path when isClientInstalled is true now, else empty.
  [[nodiscard]] std::wstring getClientExecutablePath();

  [[nodiscard]] bool isWindows7Sp1OrGreater() const;
  [[nodiscard]] bool isNet35Installed() const;
  [[nodiscard]] bool isNet45OrLaterInstalled() const;

 private:
  // Reads a string value into a kClientValueLength buffer; false when unreadable.
  [[nodiscard]] bool tryReadClientText(const wchar_t* subKey, const wchar_t* valueName, std::wstring& text) const;
  // Reads the first 4 bytes of a value as a number that starts at 0.
  [[nodiscard]] bool tryReadNumber(const wchar_t* subKey, const wchar_t* valueName, DWORD& number) const;

  std::wstring clientExecutablePath_;
  base::LoggerHandle logger_;
};

}  // namespace kelvra::system
