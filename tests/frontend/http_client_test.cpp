// Secure protocols against systems that refuse sets (the widest accepted holds, never
// SSL, none accepted leaves no session), and the pause between a download's tries.
#include "net/http_client.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <winhttp.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "net/secure_protocols_internal.h"

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
