#include "net/http_client.h"

#include <winhttp.h>

#include <algorithm>
#include <vector>

#include "base/dll_search.h"
#include "base/scoped_internet_handle.h"
#include "contract/document_limits.h"
#include "core/stall_rule.h"
#include "net/http_client_internal.h"
#include "net/network_log.h"
#include "net/proxy_logon.h"
#include "net/proxy_resolution.h"
#include "net/secure_protocols_internal.h"

namespace kelvra::frontend {

namespace {

constexpr DWORD kChunkSize = 64 * 1024;
// Bodies held in memory (a configuration, a report's answer) are bounded with the
// other programs' limits on the same documents.
constexpr std::size_t kMaxBodyInMemory = contract::kMaxResponseBodyBytes;

void applyLimits(HINTERNET session, const core::HttpLimits& limits) {
  WinHttpSetTimeouts(session, limits.resolveTimeoutMs, limits.connectTimeoutMs, limits.sendTimeoutMs,
                     limits.receiveTimeoutMs);
  // The wait for the headers has a time-out of its own (90 s by default) that
  // WinHttpSetTimeouts leaves alone.
  DWORD headersTimeoutMs = static_cast<DWORD>(limits.receiveTimeoutMs);
  WinHttpSetOption(session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersTimeoutMs, sizeof headersTimeoutMs);
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

}  // namespace

namespace internal {

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

DWORD queryNumber(const GuardedRequest& request, DWORD query) {
  DWORD value = 0;
  DWORD size = sizeof value;
  const BOOL found = request.call([&](HINTERNET handle) {
    return WinHttpQueryHeaders(handle, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                               WINHTTP_NO_HEADER_INDEX);
  });
  return found ? value : 0;
}

// Each read takes only what has arrived, so that the stall rule sees every
// arrival, however small; waiting for the next byte is bounded by the receive
// time-out.
HttpResult readBody(const GuardedRequest& request, const core::HttpLimits& limits, std::uint64_t maxBytes,
                    const BodySink& sink) {
  std::vector<char> chunk(kChunkSize);
  std::uint64_t received = 0;
  core::StallRule stall(limits.stallWindowMs, limits.stallMinimumBytes);
  stall.start(GetTickCount64());
  for (;;) {
    DWORD available = 0;
    if (!request.call([&](HINTERNET handle) { return WinHttpQueryDataAvailable(handle, &available); })) {
      return lastErrorFailure(L"WinHttpQueryDataAvailable");
    }
    if (available == 0) break;
    DWORD read = 0;
    if (!request.call([&](HINTERNET handle) {
          return WinHttpReadData(handle, chunk.data(), std::min(available, kChunkSize), &read);
        })) {
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

}  // namespace internal

// The pieces this file shares with the download.
using namespace internal;

namespace {

// Sends and waits for the answer; a proxy's 407 gets one more try with the user's
// logon where its scheme allows that. Any other answer, a second 407 included, is
// the caller's to judge.
HttpResult sendThroughRoute(const GuardedRequest& request, const core::ProxyRoute& route, const std::wstring& headers,
                            const std::string& body) {
  for (bool challenged = false;; challenged = true) {
    const BOOL sent = request.call([&](HINTERNET handle) {
      return WinHttpSendRequest(handle, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                headers.empty() ? 0 : static_cast<DWORD>(-1L),
                                body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()),
                                static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0);
    });
    if (!sent) return lastErrorFailure(L"WinHttpSendRequest");
    if (!request.call([](HINTERNET handle) { return WinHttpReceiveResponse(handle, nullptr); })) {
      HttpResult failed = lastErrorFailure(L"WinHttpReceiveResponse");
      failed.sent = true;
      return failed;
    }
    HttpResult result;
    result.sent = true;
    result.status = queryNumber(request, WINHTTP_QUERY_STATUS_CODE);
    if (result.status != HTTP_STATUS_PROXY_AUTH_REQ || route.direct() || challenged ||
        !offerLogonToProxy(request, route.proxy)) {
      return result;
    }
  }
}

}  // namespace

HttpClient::HttpClient(std::wstring userAgent, core::HttpLimits limits)
    : limits_(limits), userAgent_(std::move(userAgent)) {
  // WinHTTP is delay-loaded; every other call of it needs the session, so this load
  // decides for all of them.
  if (!base::tryLoadSystemLibrary(L"winhttp.dll")) {
    noSession_ = lastErrorFailure(L"Loading winhttp.dll from the system folder");
    return;
  }
  openSession();
}

// The session has no proxy of its own: each request's route picks its session.
// Without a secure-protocols set that the system accepts there is no session, so
// that no request goes out with the system's defaults (SSL 3.0 among them).
void HttpClient::openSession() {
  session_.reset(
      WinHttpOpen(userAgent_.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session_) {
    noSession_ = failure(ERROR_INVALID_HANDLE, L"No HTTP session could be opened.");
    return;
  }
  const internal::ProtocolChoice choice = internal::secureSession(session_.get());
  if (choice.failed) {
    session_.reset();
    noSession_ = failure(choice.error,
                         L"The system accepts none of the secure protocol settings (TLS 1.0 to 1.3). "
                         L"Error code " +
                             std::to_wstring(choice.error) + L".");
    logNetwork(noSession_.message + L" No request is made.", base::LogLevel::error);
    return;
  }
  secureProtocols_ = choice.protocols;
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
    if (internal::setSecureProtocols(session.get(), secureProtocols_) != 0) {
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

// Closing the request handle wakes the exchange's blocked call, which then fails;
// the exchange makes no call on the handle after that (GuardedRequest).
void HttpClient::abort() {
  aborted_ = true;
  std::lock_guard lock(requestMutex_);
  activeRequest_.reset();
  abortSignal_.notify_all();
}

internal::GuardedRequest HttpClient::guarded(const Request& request) {
  return internal::GuardedRequest(requestMutex_, activeRequest_, request.handle);
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
  return sendThroughRoute(guarded(request), route, headers, body);
}

HttpResult HttpClient::get(const std::wstring& url) {
  Request request;
  HttpResult result = send(request, url, L"GET", {}, {});
  if (!result.failed && result.status != 200) {
    result = failure(0, L"The server answered with status " + std::to_wstring(result.status) + L".");
  }
  if (!result.failed) {
    std::string body;
    const HttpResult read =
        readBody(guarded(request), limits_, kMaxBodyInMemory, [&body](const char* data, DWORD size, std::uint64_t) {
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
    const HttpResult read = readBody(guarded(request), limits_, kMaxBodyInMemory,
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

}  // namespace kelvra::frontend
