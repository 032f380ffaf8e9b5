// Who runs the front end, for its log.
#pragma once

#include <string>

namespace kelvra::frontend {

struct UserIdentity {
  std::wstring name;           // "DOMAIN\user"; empty when the system can't name the user
  bool administrator = false;  // member of the built-in Administrators or of the Domain Admins
};

// The process token's user. Under User Account Control a filtered token holds the
// administrators group for denial only, so such a user counts as no administrator
// until elevated.
[[nodiscard]] UserIdentity currentUserIdentity();

}  // namespace kelvra::frontend
