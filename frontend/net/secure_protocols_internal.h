// The secure-protocols setting of a WinHTTP session, tried from the widest set down
// until the system accepts one; the choice takes the setting as a function so that
// tests can play a system that refuses some or all of them.
#pragma once

#include <windows.h>

#include <winhttp.h>

#include <functional>
#include <string>

namespace kelvra::frontend::internal {

struct ProtocolChoice {
  bool failed = false;  // the system accepted none: no request may be made
  DWORD protocols = 0;  // the WINHTTP_FLAG_SECURE_PROTOCOL_* set that took
  std::wstring name;    // that set for the log ("TLS 1.2, 1.1 and 1.0")
  DWORD error = 0;      // when failed: the last refusal's error code
};

// Tries TLS 1.3+1.2+1.1+1.0, then 1.2+1.1+1.0, then 1.0 alone; SSL 3.0 and 2.0 are
// in none of them. setProtocols applies one set and returns 0 when the system
// accepted it, otherwise the error code.
[[nodiscard]] ProtocolChoice chooseSecureProtocols(const std::function<DWORD(DWORD protocols)>& setProtocols);

// Gives session the widest set the system accepts and logs the set that held, once
// per process: every session is offered the same sets and the system answers alike.
// A failed choice is the caller's to report.
[[nodiscard]] ProtocolChoice secureSession(HINTERNET session);

// Gives a further session the set chosen for the first; 0, or the error code.
[[nodiscard]] DWORD setSecureProtocols(HINTERNET session, DWORD protocols);

}  // namespace kelvra::frontend::internal
