// Answering a proxy's challenge (407) for a request: with the logged-on user's own
// logon where the scheme can carry it, never with anything the user would type.
#pragma once

#include <windows.h>

#include <winhttp.h>

#include <string>

#include "net/guarded_request.h"

namespace kelvra::frontend {

// Prepares request to answer proxy's 407 with the user's logon (Negotiate, NTLM).
// False, with a log line, when the challenge stays unanswered: the schemes can't be
// read, the proxy asks only for a typed password (Basic, Digest), or the logon can't
// be offered.
[[nodiscard]] bool offerLogonToProxy(const internal::GuardedRequest& request, const std::wstring& proxy);

}  // namespace kelvra::frontend
