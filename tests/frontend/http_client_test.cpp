// Secure protocols against systems that refuse sets (the widest accepted holds, never
// SSL, none accepted leaves no session), the pause between a download's tries, and
// an aborted exchange against a local server.
#include "net/http_client.h"

#include <windows.h>

#include <winhttp.h>
#include <winsock2.h>  // before windows.h, which brings the old winsock.h otherwise

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "base/scoped_internet_handle.h"
#include "net/secure_protocols_internal.h"
#include "support/temp_folder.h"

using kelvra::frontend::internal::chooseSecureProtocols;
using kelvra::frontend::internal::ProtocolChoice;

namespace {

constexpr DWORD kTls13 = 0x00002000;  // WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3, unknown to older headers
constexpr DWORD kTls10To12 =
    WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
constexpr DWORD kSsl = WINHTTP_FLAG_SECURE_PROTOCOL_SSL2 | WINHTTP_FLAG_SECURE_PROTOCOL_SSL3;

// A system that refuses every set containing a flag of refusedFlags (with
// ERROR_INVALID_PARAMETER, as WinHTTP does) and records what it was offered.
ProtocolChoice choose(DWORD refusedFlags, std::vector<DWORD>& offered) {
  return chooseSecureProtocols([&](DWORD protocols) -> DWORD {
    offered.push_back(protocols);
    return (protocols & refusedFlags) != 0 ? ERROR_INVALID_PARAMETER : 0;
  });
}

struct SocketTraits {
  using Handle = SOCKET;
  static Handle invalid() { return INVALID_SOCKET; }
  static void close(Handle socket) { closesocket(socket); }
};
using ScopedSocket = kelvra::base::ScopedHandle<SocketTraits>;

// Answers its first `count` connections, one after the other on a thread of its
// own, with the same five-byte body; gives up on a connection that doesn't come
// within 10 s.
class LocalServer {
 public:
  explicit LocalServer(int count) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), size);
    getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    listen(listener_.get(), count);
    answering_ = std::thread([this, count] {
      for (int i = 0; i < count; ++i) answerOne();
    });
  }
  ~LocalServer() {
    answering_.join();
    listener_.reset();
    WSACleanup();
  }
  [[nodiscard]] INTERNET_PORT port() const { return port_; }

 private:
  void answerOne() {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener_.get(), &ready);
    timeval wait = {10, 0};
    if (select(0, &ready, nullptr, nullptr, &wait) != 1) return;
    const ScopedSocket client(accept(listener_.get(), nullptr, nullptr));
    std::string request;
    char chunk[1024];
    for (int got = 1; got > 0 && request.find("\r\n\r\n") == std::string::npos;) {
      got = recv(client.get(), chunk, sizeof chunk, 0);
      if (got > 0) request.append(chunk, got);
    }
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
    send(client.get(), answer.data(), static_cast<int>(answer.size()), 0);
  }

  ScopedSocket listener_;
  INTERNET_PORT port_ = 0;
  std::thread answering_;
};

}  // namespace

TEST(SecureProtocols, TheWidestAcceptedSetHoldsAndSslIsNeverOffered) {
  const struct {
    const char* system;
    DWORD refused;
    DWORD expected;
    const wchar_t* name;
    std::size_t tries;
  } rows[] = {
      {"knows TLS 1.3", 0, kTls10To12 | kTls13, L"TLS 1.3, 1.2, 1.1 and 1.0", 1},
      {"Windows 8.1 and older", kTls13, kTls10To12, L"TLS 1.2, 1.1 and 1.0", 2},
      {"Windows 7 without the TLS 1.1/1.2 update", kTls13 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2,
       WINHTTP_FLAG_SECURE_PROTOCOL_TLS1, L"TLS 1.0", 3},
  };
  for (const auto& row : rows) {
    std::vector<DWORD> offered;
    const ProtocolChoice choice = choose(row.refused, offered);
    EXPECT_FALSE(choice.failed) << row.system;
    EXPECT_EQ(choice.protocols, row.expected) << row.system;
    EXPECT_EQ(choice.name, row.name) << row.system;
    EXPECT_EQ(offered.size(), row.tries) << row.system;
    for (DWORD protocols : offered) EXPECT_EQ(protocols & kSsl, 0u) << row.system;
  }
}

TEST(SecureProtocols, ASystemThatAcceptsNoneFailsWithItsLastError) {
  std::vector<DWORD> offered;
  std::vector<DWORD> errors = {ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER, ERROR_WINHTTP_INTERNAL_ERROR};
  const ProtocolChoice choice = chooseSecureProtocols([&](DWORD protocols) -> DWORD {
    offered.push_back(protocols);
    return errors[offered.size() - 1];
  });
  EXPECT_TRUE(choice.failed);
  EXPECT_EQ(choice.error, static_cast<DWORD>(ERROR_WINHTTP_INTERNAL_ERROR));
  EXPECT_EQ(choice.protocols, 0u);
  EXPECT_EQ(offered, (std::vector<DWORD>{kTls10To12 | kTls13, kTls10To12, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1}));
}

// Closing the window aborts the download; a pause before its next try must end
// then, whether the abort comes before or during it.
TEST(HttpClientTest, AnAbortEndsThePauseBeforeTheNextTry) {
  using kelvra::frontend::HttpClient;
  // Shared with the pause: if the abort fails, the pause is left to run out its
  // hour on its own thread while the test fails within seconds.
  const auto client = std::make_shared<HttpClient>(L"ZAVWebinstaller/test");
  std::packaged_task<bool()> pause([client] { return client->pauseUnlessAborted(3600000); });
  std::future<bool> paused = pause.get_future();
  std::thread pausing(std::move(pause));
  client->abort();
  if (paused.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    pausing.detach();
    FAIL() << "the abort did not end the pause";
  }
  pausing.join();
  EXPECT_TRUE(paused.get());
  HttpClient idle(L"ZAVWebinstaller/test");
  EXPECT_FALSE(idle.pauseUnlessAborted(1));
}

// abort() closes the request handle while the exchange goes on. WinHTTP gives the
// closed value to the next handle opened (Wine at once), here another exchange's
// request: the aborted download must not read that one's answer.
TEST(HttpClientTest, AnAbortedDownloadNeverCallsOnItsClosedRequest) {
  using kelvra::base::ScopedInternetHandle;
  LocalServer server(2);
  TempFolder folder;
  kelvra::frontend::HttpClient client(L"ZAVWebinstaller/test");
  // Opened first, so that the other request is the only handle opened after the abort.
  const ScopedInternetHandle session(
      WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  const ScopedInternetHandle connection(WinHttpConnect(session.get(), L"127.0.0.1", server.port(), 0));
  ScopedInternetHandle other;
  const auto abortBeforeTheBody = [&](std::uint64_t, std::uint64_t) {
    if (other) return;
    client.abort();
    other.reset(WinHttpOpenRequest(connection.get(), L"GET", L"/", nullptr, WINHTTP_NO_REFERER,
                                   WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    ASSERT_TRUE(WinHttpSendRequest(other.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0));
    ASSERT_TRUE(WinHttpReceiveResponse(other.get(), nullptr));
  };
  kelvra::frontend::DownloadResume resume;
  const auto result = client.download(L"http://127.0.0.1:" + std::to_wstring(server.port()) + L"/",
                                      folder / L"setup.exe", abortBeforeTheBody, resume);
  EXPECT_EQ(result.end, kelvra::frontend::core::TransferEnd::cancelled);
  EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_WINHTTP_OPERATION_CANCELLED));
  EXPECT_FALSE(resume.bytesArrived);
  char body[16] = {};
  DWORD read = 0;
  ASSERT_TRUE(other);
  EXPECT_TRUE(WinHttpReadData(other.get(), body, sizeof body, &read));
  EXPECT_EQ(std::string(body, read), "hello");
}
