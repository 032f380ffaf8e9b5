#include "net/http_client.h"

#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

#include "core/stall_rule.h"
#include "base/dll_search.h"
#include "base/scoped_internet_handle.h"
#include "net/network_log.h"
#include "net/proxy_resolution.h"
#include "net/secure_protocols_internal.h"

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

namespace kelvra::frontend {

namespace internal {

ProtocolChoice chooseSecureProtocols(const std::function<DWORD(DWORD protocols)>& setProtocols) {
  constexpr DWORD kTls10 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1;
  constexpr DWORD kTls10To12 = kTls10 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  // Widest first; a system that does not know a flag refuses the whole set.
  const struct {
    DWORD protocols;
    const wchar_t* name;
  } sets[] = {
      {kTls10To12 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3, L"TLS 1.3, 1.2, 1.1 and 1.0"},
      {kTls10To12, L"TLS 1.2, 1.1 and 1.0"},
      {kTls10, L"TLS 1.0"},
  };
  ProtocolChoice choice;
  for (const auto& set : sets) {
    choice.error = setProtocols(set.protocols);
    if (choice.error == 0) {
      choice.protocols = set.protocols;
      choice.name = set.name;
      return choice;
    }
  }
  choice.failed = true;
  return choice;
}

}  // namespace internal

namespace {

constexpr DWORD kChunkSize = 64 * 1024;
// A configuration or a report answer is a few kilobytes; a server that sends more
// is broken, and the body is held in memory.
constexpr std::size_t kMaxBodyInMemory = 4 * 1024 * 1024;

HttpResult failure(DWORD error, std::wstring message) {
  HttpResult result;
  result.failed = true;
  result.error = error;
  result.message = std::move(message);
  result.end = core::TransferEnd::network;
  return result;
}

HttpResult endedBy(HttpResult failed, core::TransferEnd end) {
  failed.end = end;
  return failed;
}

HttpResult lastErrorFailure(const wchar_t* what) {
  const DWORD error = GetLastError();
  return failure(error, std::wstring(what) + L" failed with error " + std::to_wstring(error) + L".");
}

HttpResult fileFailure(HttpResult failed) {
  failed.fileFailed = true;
  failed.end = core::TransferEnd::file;
  return failed;
}

DWORD setSecureProtocols(HINTERNET session, DWORD protocols) {
  if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) return 0;
  return GetLastError();
}

void applyLimits(HINTERNET session, const core::HttpLimits& limits) {
  WinHttpSetTimeouts(session, limits.resolveTimeoutMs, limits.connectTimeoutMs, limits.sendTimeoutMs,
                     limits.receiveTimeoutMs);
  // The wait for the headers has a time-out of its own (90 s by default) that
  // WinHttpSetTimeouts leaves alone.
  DWORD headersTimeoutMs = static_cast<DWORD>(limits.receiveTimeoutMs);
  WinHttpSetOption(session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersTimeoutMs, sizeof headersTimeoutMs);
}

// Every session is offered the same sets and the system answers alike, so the set
// that held is logged once per process.
std::atomic<bool> protocolsLogged{false};

const wchar_t* schemeName(DWORD scheme) {
  switch (scheme) {
    case WINHTTP_AUTH_SCHEME_BASIC: return L"Basic";
    case WINHTTP_AUTH_SCHEME_DIGEST: return L"Digest";
    case WINHTTP_AUTH_SCHEME_NTLM: return L"NTLM";
    case WINHTTP_AUTH_SCHEME_NEGOTIATE: return L"Negotiate";
    case WINHTTP_AUTH_SCHEME_PASSPORT: return L"Passport";
    default: return L"unknown";
  }
}

// Prepares the request to answer a proxy's 407 with the logged-on user's own
// credentials, which Negotiate and NTLM can carry without asking anyone. Schemes that
// need a typed password (Basic, Digest) are never answered: the installer asks the
// user for nothing. False, with a log line, when the challenge stays unanswered.
bool offerLogonToProxy(HINTERNET request, const std::wstring& proxy) {
  DWORD supported = 0, first = 0, target = 0;
  if (!WinHttpQueryAuthSchemes(request, &supported, &first, &target)) {
    const DWORD error = GetLastError();
    logNetwork(L"The proxy " + proxy + L" asks for authentication; its schemes could not be read. Error code " +
                   std::to_wstring(error) + L".",
               base::LogLevel::error);
    return false;
  }
  DWORD scheme = 0;
  if (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE) {
    scheme = WINHTTP_AUTH_SCHEME_NEGOTIATE;
  } else if (supported & WINHTTP_AUTH_SCHEME_NTLM) {
    scheme = WINHTTP_AUTH_SCHEME_NTLM;
  } else {
    logNetwork(L"The proxy " + proxy + L" asks for " + schemeName(first) +
                   L" authentication, which needs a typed user name and password; the installer asks for none.",
               base::LogLevel::error);
    return false;
  }
  // Low: the user's logon may go to any proxy that asks, the intranet's or not.
  DWORD policy = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
  if (!WinHttpSetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &policy, sizeof policy) ||
      !WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr, nullptr)) {
    const DWORD error = GetLastError();
    logNetwork(L"The proxy " + proxy + L" asks for " + schemeName(scheme) +
                   L" authentication; the user's logon could not be offered. Error code " + std::to_wstring(error) +
                   L".",
               base::LogLevel::error);
    return false;
  }
  logNetwork(L"The proxy " + proxy + L" asks for " + schemeName(scheme) +
                 L" authentication; answering with the user's logon.",
             base::LogLevel::info);
  return true;
}

// The address without its query, for the request's log line.
std::wstring addressForLog(const std::wstring& url) { return url.substr(0, url.find(L'?')); }

struct UrlParts {
  bool valid = false;
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring pathAndQuery;
};

UrlParts crackUrl(const std::wstring& url) {
  URL_COMPONENTS components = {};
  components.dwStructSize = sizeof components;
  components.dwHostNameLength = static_cast<DWORD>(-1);
  components.dwUrlPathLength = static_cast<DWORD>(-1);
  components.dwExtraInfoLength = static_cast<DWORD>(-1);
  UrlParts parts;
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) return parts;
  if (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS) return parts;
  parts.valid = components.dwHostNameLength > 0;
  parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
  parts.host.assign(components.lpszHostName, components.dwHostNameLength);
  parts.port = components.nPort;
  parts.pathAndQuery.assign(components.lpszUrlPath, components.dwUrlPathLength);
  parts.pathAndQuery.append(components.lpszExtraInfo, components.dwExtraInfoLength);
  if (parts.pathAndQuery.empty()) parts.pathAndQuery = L"/";
  return parts;
}

DWORD queryNumber(HINTERNET request, DWORD query) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!WinHttpQueryHeaders(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return value;
}

// Content-Length, or 0 when the server didn't send one (chunked or unknown).
std::uint64_t contentLength(HINTERNET request) {
  wchar_t text[32] = {};
  DWORD size = sizeof text;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return std::wcstoull(text, nullptr, 10);
}

// A header's raw value, empty when the answer has none.
std::wstring queryText(HINTERNET request, DWORD query) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                           WINHTTP_NO_HEADER_INDEX)) {
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

}  // namespace

// The handles of one exchange. The request handle is borrowed from activeRequest_,
// which abort() may close from another thread; finish() closes it otherwise.
struct HttpClient::Request {
  base::ScopedInternetHandle connection;
  HINTERNET handle = nullptr;
  std::wstring extraHeaders;  // whole lines, each ended by CRLF
};

HttpClient::HttpClient(std::wstring userAgent, core::HttpLimits limits)
    : limits_(limits), userAgent_(std::move(userAgent)) {
  // WinHTTP is delay-loaded; every other call of it needs the session, so this load
  // decides for all of them.
  if (!base::loadSystemLibrary(L"winhttp.dll")) {
    noSession_ = lastErrorFailure(L"Loading winhttp.dll from the system folder");
    return;
  }
  openSession();
}

// The session has no proxy of its own: each request's route picks its session.
// Without a secure-protocols set that the system accepts there is no session, so
// that no request goes out with the system's defaults (SSL 3.0 among them).
void HttpClient::openSession() {
  session_.reset(WinHttpOpen(userAgent_.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                             WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session_) {
    noSession_ = failure(ERROR_INVALID_HANDLE, L"No HTTP session could be opened.");
    return;
  }
  const internal::ProtocolChoice choice = internal::chooseSecureProtocols(
      [this](DWORD protocols) { return setSecureProtocols(session_.get(), protocols); });
  if (choice.failed) {
    session_.reset();
    noSession_ = failure(choice.error, L"The system accepts none of the secure protocol settings (TLS 1.0 to 1.3). "
                                       L"Error code " + std::to_wstring(choice.error) + L".");
    logNetwork(noSession_.message + L" No request is made.", base::LogLevel::error);
    return;
  }
  secureProtocols_ = choice.protocols;
  if (!protocolsLogged.exchange(true)) logNetwork(L"Secure protocols: " + choice.name + L".", base::LogLevel::info);
  applyLimits(session_.get(), limits_);
}

// WinHTTP makes its CONNECT (for https) and sends plain requests to the proxy that
// its session names; each proxy's session gets the same protocols and waits.
HINTERNET HttpClient::sessionFor(const core::ProxyRoute& route) {
  if (route.direct()) return session_.get();
  auto& session = proxySessions_[route.proxy];
  if (!session) {
    session.reset(WinHttpOpen(userAgent_.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, route.proxy.c_str(),
                              WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return nullptr;
    if (setSecureProtocols(session.get(), secureProtocols_) != 0) {
      session.reset();
      return nullptr;
    }
    applyLimits(session.get(), limits_);
  }
  return session.get();
}

// The session outlives every request of its own: activeRequest_ is declared after
// it and closed first.
HttpClient::~HttpClient() = default;

// Closing the request handle wakes the exchange's blocked call, which then fails.
void HttpClient::abort() {
  aborted_ = true;
  std::lock_guard lock(requestMutex_);
  activeRequest_.reset();
  abortSignal_.notify_all();
}

// Closes the exchange's request unless abort() has closed it already.
void HttpClient::finish(Request& request) {
  std::lock_guard lock(requestMutex_);
  if (request.handle != nullptr && activeRequest_.get() == request.handle) activeRequest_.reset();
  request.handle = nullptr;
}

HttpResult HttpClient::send(Request& request, const std::wstring& url, const wchar_t* verb,
                            const std::string& contentType, const std::string& body) {
  if (!session_) return noSession_;
  const UrlParts parts = crackUrl(url);
  if (!parts.valid) return failure(ERROR_WINHTTP_INVALID_URL, L"Not an http or https address: " + url);

  const core::ProxyRoute route =
      resolveProxyRoute(session_.get(), url, core::RequestTarget{parts.secure, parts.host, parts.port});
  logNetwork(std::wstring(L"HTTP ") + verb + L" " + addressForLog(url) + L" " + core::describeRoute(route) + L".",
             base::LogLevel::info);
  const HINTERNET session = sessionFor(route);
  if (session == nullptr) return lastErrorFailure(L"Opening the HTTP session for the proxy");
  request.connection.reset(WinHttpConnect(session, parts.host.c_str(), parts.port, 0));
  if (!request.connection) return lastErrorFailure(L"WinHttpConnect");
  base::ScopedInternetHandle opened(WinHttpOpenRequest(request.connection.get(), verb, parts.pathAndQuery.c_str(),
                                                       nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                       parts.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!opened) return lastErrorFailure(L"WinHttpOpenRequest");
  const HINTERNET handle = opened.get();
  {
    std::lock_guard lock(requestMutex_);
    if (aborted_) return failure(ERROR_WINHTTP_OPERATION_CANCELLED, L"The request was cancelled.");
    activeRequest_ = std::move(opened);
  }
  request.handle = handle;

  std::wstring headers = request.extraHeaders;
  if (!contentType.empty()) headers += L"Content-Type: " + std::wstring(contentType.begin(), contentType.end());
  return sendThroughRoute(handle, route, headers, body);
}

// Sends and waits for the answer; a proxy's 407 gets one more try with the user's
// logon where its scheme allows that. Any other answer, a second 407 included, is
// the caller's to judge.
HttpResult HttpClient::sendThroughRoute(HINTERNET handle, const core::ProxyRoute& route, const std::wstring& headers,
                                        const std::string& body) {
  for (bool challenged = false;; challenged = true) {
    const BOOL sent = WinHttpSendRequest(handle, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                         headers.empty() ? 0 : static_cast<DWORD>(-1L),
                                         body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()),
                                         static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0);
    if (!sent) return lastErrorFailure(L"WinHttpSendRequest");
    if (!WinHttpReceiveResponse(handle, nullptr)) {
      HttpResult failed = lastErrorFailure(L"WinHttpReceiveResponse");
      failed.sent = true;
      return failed;
    }
    HttpResult result;
    result.sent = true;
    result.status = queryNumber(handle, WINHTTP_QUERY_STATUS_CODE);
    if (result.status != HTTP_STATUS_PROXY_AUTH_REQ || route.direct() || challenged ||
        !offerLogonToProxy(handle, route.proxy)) {
      return result;
    }
  }
}

namespace {

// Reads the body chunk by chunk into sink; stops at maxBytes. Each read takes only
// what has arrived, so that the stall rule sees every arrival, however small;
// waiting for the next byte is bounded by the receive time-out.
template <typename Sink>
HttpResult readBody(HINTERNET request, const core::HttpLimits& limits, std::uint64_t maxBytes, Sink&& sink) {
  std::vector<char> chunk(kChunkSize);
  std::uint64_t received = 0;
  core::StallRule stall(limits.stallWindowMs, limits.stallMinimumBytes);
  stall.start(GetTickCount64());
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) return lastErrorFailure(L"WinHttpQueryDataAvailable");
    if (available == 0) break;
    DWORD read = 0;
    if (!WinHttpReadData(request, chunk.data(), std::min(available, kChunkSize), &read)) {
      return lastErrorFailure(L"WinHttpReadData");
    }
    if (read == 0) break;
    received += read;
    if (received > maxBytes) {
      return endedBy(failure(ERROR_WINHTTP_INVALID_SERVER_RESPONSE,
                             L"The response is larger than " + std::to_wstring(maxBytes) + L" bytes."),
                     core::TransferEnd::refused);
    }
    if (auto failed = sink(chunk.data(), read, received); failed.failed) return failed;
    if (stall.stalled(GetTickCount64(), received)) {
      return endedBy(failure(ERROR_WINHTTP_TIMEOUT, L"The response stalled: fewer than " +
                                                        std::to_wstring(limits.stallMinimumBytes) + L" bytes in " +
                                                        std::to_wstring(limits.stallWindowMs / 1000) + L" seconds."),
                     core::TransferEnd::stalled);
    }
  }
  return {};
}

}  // namespace

HttpResult HttpClient::get(const std::wstring& url) {
  Request request;
  HttpResult result = send(request, url, L"GET", {}, {});
  if (!result.failed && result.status != 200) {
    result = failure(0, L"The server answered with status " + std::to_wstring(result.status) + L".");
  }
  if (!result.failed) {
    std::string body;
    const HttpResult read =
        readBody(request.handle, limits_, kMaxBodyInMemory, [&body](const char* data, DWORD size, std::uint64_t) {
          body.append(data, size);
          return HttpResult{};
        });
    if (read.failed) {
      result = read;
    } else {
      result.body = std::move(body);
    }
  }
  finish(request);
  return result;
}

HttpResult HttpClient::post(const std::wstring& url, const std::string& contentType, const std::string& body) {
  Request request;
  HttpResult result = send(request, url, L"POST", contentType, body);
  if (!result.failed) {
    // The answer is read and dropped; only a failure to read it matters.
    const HttpResult read = readBody(request.handle, limits_, kMaxBodyInMemory,
                                     [](const char*, DWORD, std::uint64_t) { return HttpResult{}; });
    if (read.failed) {
      const DWORD status = result.status;
      result = read;
      result.status = status;
      result.sent = true;
    }
  }
  finish(request);
  return result;
}

HttpResult HttpClient::download(const std::wstring& url, const std::wstring& path, const DownloadProgress& progress,
                                DownloadResume& resume) {
  Request request;
  const std::uint64_t offset = core::resumeOffset(resume.bytesOnDisk, resume.validator);
  request.extraHeaders = resumeHeaders(offset, resume.validator);
  HttpResult result = send(request, url, L"GET", {}, {});
  if (!result.failed) {
    const DWORD status = result.status;
    result = receiveDownload(request.handle, path, progress, resume, offset);
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

// A 200 is the whole file (again, when a resume was asked for and the file has
// changed or the server ignores ranges); a 206 must be exactly the rest asked for.
HttpResult HttpClient::receiveDownload(void* handle, const std::wstring& path, const DownloadProgress& progress,
                                       DownloadResume& resume, std::uint64_t offset) {
  const auto request = static_cast<HINTERNET>(handle);
  const DWORD status = queryNumber(request, WINHTTP_QUERY_STATUS_CODE);
  if (status == 200) {
    if (offset > 0) ++resume.restartsFromZero;
    resume.bytesOnDisk = 0;
    resume.total = contentLength(request);
    resume.validator = core::resumeValidator(queryText(request, WINHTTP_QUERY_ETAG),
                                             queryText(request, WINHTTP_QUERY_LAST_MODIFIED));
    return receiveToFile(request, path, progress, resume, 0);
  }
  if (status == 206 && offset > 0) {
    const std::wstring range = queryText(request, WINHTTP_QUERY_CONTENT_RANGE);
    if (!core::rangeContinuesAt(range, offset, resume.total)) {
      return endedBy(failure(ERROR_WINHTTP_INVALID_SERVER_RESPONSE,
                             L"The server answered the request for the bytes from " + std::to_wstring(offset) +
                                 L" on with the range '" + range + L"'."),
                     core::TransferEnd::refused);
    }
    return receiveToFile(request, path, progress, resume, offset);
  }
  return endedBy(failure(0, L"The server answered with status " + std::to_wstring(status) + L"."),
                 core::TransferEnd::refused);
}

// Writes the body into the file from offset on: a new file at 0, the existing one
// cut back to offset otherwise.
HttpResult HttpClient::receiveToFile(void* handle, const std::wstring& path, const DownloadProgress& progress,
                                     DownloadResume& resume, std::uint64_t offset) {
  const auto request = static_cast<HINTERNET>(handle);
  const std::uint64_t length = contentLength(request);
  const std::uint64_t total = length == 0 ? resume.total : offset + length;
  if (total > limits_.maxDownloadBytes) {
    return endedBy(failure(ERROR_WINHTTP_INVALID_SERVER_RESPONSE,
                           L"The download announces " + std::to_wstring(total) + L" bytes, more than " +
                               std::to_wstring(limits_.maxDownloadBytes) + L"."),
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
  HttpResult result = readBody(request, limits_, limits_.maxDownloadBytes - offset, writeChunk);
  if (!result.failed && total > 0 && written < total) {
    result = failure(ERROR_WINHTTP_INVALID_SERVER_RESPONSE, L"The download ended after " + std::to_wstring(written) +
                                                                L" of " + std::to_wstring(total) + L" bytes.");
  }
  return result;
}

HttpAbortGroup::Watch::Watch(HttpAbortGroup* group, HttpClient& client) : group_(group), client_(client) {
  if (group_ == nullptr) return;
  std::lock_guard lock(group_->mutex_);
  if (group_->aborted_) client_.abort();
  group_->clients_.push_back(&client_);
}

HttpAbortGroup::Watch::~Watch() {
  if (group_ == nullptr) return;
  std::lock_guard lock(group_->mutex_);
  std::erase(group_->clients_, &client_);
}

// Under the lock, so that no watched client is destroyed while it is aborted.
void HttpAbortGroup::abortAll() {
  std::lock_guard lock(mutex_);
  aborted_ = true;
  for (HttpClient* client : clients_) client->abort();
}

bool HttpAbortGroup::aborted() const {
  std::lock_guard lock(mutex_);
  return aborted_;
}

}  // namespace kelvra::frontend
