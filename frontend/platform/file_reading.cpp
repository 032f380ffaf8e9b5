#include "platform/file_reading.h"

#include <vector>

#include "base/scoped_handle.h"

namespace kelvra::frontend {

FileReading readWholeFile(const std::wstring& path, std::size_t maxBytes) {
  FileReading reading;
  base::ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    reading.failed = true;
    reading.error = GetLastError();
    return reading;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size)) {
    reading.failed = true;
    reading.error = GetLastError();
    return reading;
  }
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    reading.failed = true;
    reading.error = ERROR_FILE_TOO_LARGE;
    return reading;
  }
  // Read until the end, not just the size seen above: the file may still grow or
  // shrink while it is read; the limit holds either way.
  std::vector<char> chunk(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr)) {
      reading.failed = true;
      reading.error = GetLastError();
      reading.bytes.clear();
      return reading;
    }
    if (read == 0) break;
    if (reading.bytes.size() + read > maxBytes) {
      reading.failed = true;
      reading.error = ERROR_FILE_TOO_LARGE;
      reading.bytes.clear();
      return reading;
    }
    reading.bytes.append(chunk.data(), read);
  }
  return reading;
}

bool isExistingFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring describeReadFailure(const std::wstring& path, DWORD error) {
  return L"Could not read the file '" + path + L"'. Error code " + std::to_wstring(error) + L".";
}

std::wstring executableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    // Truncated: long paths need a larger buffer.
    path.resize(path.size() * 2);
  }
  const auto separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace kelvra::frontend
