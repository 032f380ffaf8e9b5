// The client's download of a file: one try streamed to disk, resumed where the
// answer allows it, and the pause before the next try.
#include <chrono>
#include <cstdlib>

#include "base/scoped_handle.h"
#include "net/http_client.h"
#include "net/http_client_internal.h"

namespace kelvra::frontend {

// The pieces the download shares with the rest of the client.
using namespace internal;

namespace {

HttpResult fileFailure(HttpResult failed) {
  failed.fileFailed = true;
  failed.end = core::TransferEnd::file;
  return failed;
}

// Content-Length, or 0 when the server didn't send one (chunked or unknown).
std::uint64_t contentLength(const GuardedRequest& request) {
  wchar_t text[32] = {};
  DWORD size = sizeof text;
  const BOOL found = request.call([&](HINTERNET handle) {
    return WinHttpQueryHeaders(handle, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                               WINHTTP_NO_HEADER_INDEX);
  });
  return found ? std::wcstoull(text, nullptr, 10) : 0;
}

// A header's raw value, empty when the answer has none.
std::wstring queryText(const GuardedRequest& request, DWORD query) {
  DWORD size = 0;
  const BOOL sized = request.call([&](HINTERNET handle) {
    return WinHttpQueryHeaders(handle, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                               WINHTTP_NO_HEADER_INDEX);
  });
  if (sized || GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (!request.call([&](HINTERNET handle) {
        return WinHttpQueryHeaders(handle, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                                   WINHTTP_NO_HEADER_INDEX);
      })) {
    return {};
  }
  text.resize(size / sizeof(wchar_t));
  return text;
}

// The request for the rest of a file whose first offset bytes are on disk; none
// for a try from zero.
std::wstring resumeHeaders(std::uint64_t offset, const std::wstring& validator) {
  if (offset == 0) return {};
  return L"Range: bytes=" + std::to_wstring(offset) + L"-\r\nIf-Range: " + validator + L"\r\n";
}

// Writes the body into the file from offset on: a new file at 0, the existing one
// cut back to offset otherwise.
HttpResult receiveToFile(const GuardedRequest& request, const core::HttpLimits& limits, const std::wstring& path,
                         const DownloadProgress& progress, DownloadResume& resume, std::uint64_t offset) {
  const std::uint64_t length = contentLength(request);
  const std::uint64_t total = length == 0 ? resume.total : offset + length;
  if (total > limits.maxDownloadBytes) {
    return endedBy(failure(ERROR_WINHTTP_INVALID_SERVER_RESPONSE, L"The download announces " + std::to_wstring(total) +
                                                                      L" bytes, more than " +
                                                                      std::to_wstring(limits.maxDownloadBytes) + L"."),
                   core::TransferEnd::refused);
  }
  base::ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                          offset == 0 ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return fileFailure(lastErrorFailure(L"CreateFile"));
  if (offset > 0) {
    LARGE_INTEGER position = {};
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
      return fileFailure(lastErrorFailure(L"SetEndOfFile"));
    }
  }
  if (progress) progress(offset, total);
  std::uint64_t written = offset;
  const auto writeChunk = [&](const char* data, DWORD size, std::uint64_t received) {
    DWORD count = 0;
    if (!WriteFile(file.get(), data, size, &count, nullptr)) return fileFailure(lastErrorFailure(L"WriteFile"));
    if (count != size) return fileFailure(failure(ERROR_WRITE_FAULT, L"The setup file could not be written in full."));
    written = offset + received;
    resume.bytesOnDisk = written;
    resume.bytesArrived = true;
    if (progress) progress(written, total);
    return HttpResult{};
  };
  HttpResult result = readBody(request, limits, limits.maxDownloadBytes - offset, writeChunk);
  if (!result.failed && total > 0 && written < total) {
    result = failure(ERROR_WINHTTP_INVALID_SERVER_RESPONSE, L"The download ended after " + std::to_wstring(written) +
                                                                L" of " + std::to_wstring(total) + L" bytes.");
  }
  return result;
}

// A 200 is the whole file (again, when a resume was asked for and the file has
// changed or the server ignores ranges); a 206 must be exactly the rest asked for.
HttpResult receiveDownload(const GuardedRequest& request, const core::HttpLimits& limits, const std::wstring& path,
                           const DownloadProgress& progress, DownloadResume& resume, std::uint64_t offset) {
  const DWORD status = queryNumber(request, WINHTTP_QUERY_STATUS_CODE);
  if (status == 200) {
    if (offset > 0) ++resume.restartsFromZero;
    resume.bytesOnDisk = 0;
    resume.total = contentLength(request);
    resume.validator =
        core::resumeValidator(queryText(request, WINHTTP_QUERY_ETAG), queryText(request, WINHTTP_QUERY_LAST_MODIFIED));
    return receiveToFile(request, limits, path, progress, resume, 0);
  }
  if (status == 206 && offset > 0) {
    const std::wstring range = queryText(request, WINHTTP_QUERY_CONTENT_RANGE);
    if (!core::rangeContinuesAt(range, offset, resume.total)) {
      return endedBy(failure(ERROR_WINHTTP_INVALID_SERVER_RESPONSE,
                             L"The server answered the request for the bytes from " + std::to_wstring(offset) +
                                 L" on with the range '" + range + L"'."),
                     core::TransferEnd::refused);
    }
    return receiveToFile(request, limits, path, progress, resume, offset);
  }
  return endedBy(failure(0, L"The server answered with status " + std::to_wstring(status) + L"."),
                 core::TransferEnd::refused);
}

}  // namespace

HttpResult HttpClient::download(const std::wstring& url, const std::wstring& path, const DownloadProgress& progress,
                                DownloadResume& resume) {
  Request request;
  const std::uint64_t offset = core::resumeOffset(resume.bytesOnDisk, resume.validator);
  request.extraHeaders = resumeHeaders(offset, resume.validator);
  HttpResult result = send(request, url, L"GET", {}, {});
  if (!result.failed) {
    const DWORD status = result.status;
    result = receiveDownload(guarded(request), limits_, path, progress, resume, offset);
    result.status = status;
  }
  finish(request);
  if (aborted_) {
    if (!result.failed) result = failure(ERROR_WINHTTP_OPERATION_CANCELLED, L"The download was cancelled.");
    result.end = core::TransferEnd::cancelled;
  }
  return result;
}

bool HttpClient::pauseUnlessAborted(std::uint64_t milliseconds) {
  std::unique_lock lock(requestMutex_);
  return abortSignal_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return aborted_.load(); });
}

}  // namespace kelvra::frontend
