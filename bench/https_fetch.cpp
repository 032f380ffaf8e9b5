// The least a WinHTTP client can do: GET one https URL into a file in 64 KiB reads,
// as the front end reads, with the system's certificate checks. Under Wine it is
// the ceiling that the front end's download is measured against.
//   https_fetch <host> <port> <path> <file>
// Prints "bytes=<n>" and "milliseconds=<time from request to last byte written>";
// exit code 0, or 1 after printing what failed.
#include <windows.h>

#include <winhttp.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "base/scoped_internet_handle.h"

namespace {

constexpr DWORD kReadSize = 64 * 1024;

int fail(const char* what) {
  std::printf("%s failed, error %lu\n", what, GetLastError());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fputs("usage: https_fetch.exe HOST PORT PATH FILE\n", stderr);
    return 2;
  }
  const kelvra::base::ScopedInternetHandle session(
      WinHttpOpen(L"https_fetch", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return fail("WinHttpOpen");
  const auto port = static_cast<INTERNET_PORT>(std::wcstoul(argv[2], nullptr, 10));
  const kelvra::base::ScopedInternetHandle connection(WinHttpConnect(session.get(), argv[1], port, 0));
  if (!connection) return fail("WinHttpConnect");
  const ULONGLONG began = GetTickCount64();
  const kelvra::base::ScopedInternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", argv[3], nullptr,
                                                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                                      WINHTTP_FLAG_SECURE));
  if (!request) return fail("WinHttpOpenRequest");
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    return fail("the request");
  }
  const kelvra::base::ScopedFileHandle file(
      CreateFileW(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return fail("CreateFile");
  std::vector<char> buffer(kReadSize);
  unsigned long long total = 0;
  for (;;) {
    DWORD read = 0;
    if (!WinHttpReadData(request.get(), buffer.data(), kReadSize, &read)) return fail("WinHttpReadData");
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) return fail("WriteFile");
    total += read;
  }
  std::printf("bytes=%llu\nmilliseconds=%llu\n", total, GetTickCount64() - began);
  return 0;
}
