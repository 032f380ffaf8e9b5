#include <atomic>

#include "net/network_log.h"
#include "net/secure_protocols_internal.h"

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

namespace kelvra::frontend::internal {

namespace {

std::atomic<bool> protocolsLogged{false};

}  // namespace

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

DWORD setSecureProtocols(HINTERNET session, DWORD protocols) {
  if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) return 0;
  return GetLastError();
}

ProtocolChoice secureSession(HINTERNET session) {
  const ProtocolChoice choice =
      chooseSecureProtocols([session](DWORD protocols) { return setSecureProtocols(session, protocols); });
  if (!choice.failed && !protocolsLogged.exchange(true)) {
    logNetwork(L"Secure protocols: " + choice.name + L".", base::LogLevel::info);
  }
  return choice;
}

}  // namespace kelvra::frontend::internal
