// Rights for the folders a run makes in a temporary folder that other users may
// share (C:\Windows\Temp for SYSTEM runs): only the current user, SYSTEM and
// Administrators get in, and nothing is inherited from the folder around.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kelvra::run {

// The current process token's user SID. Fails (true, logged) when the token can't
// be read; sid is then left unchanged.
[[nodiscard]] bool readCurrentUserSid(std::vector<BYTE>& sid);

// A security descriptor owned by the current user whose protected DACL allows
// full access to the current user, SYSTEM and Administrators, inherited by every
// file and folder inside (object and container inherit). Holds its own buffers,
// so it is neither copied nor moved.
class PrivateFolderSecurity {
 public:
  PrivateFolderSecurity() = default;
  PrivateFolderSecurity(const PrivateFolderSecurity&) = delete;
  PrivateFolderSecurity& operator=(const PrivateFolderSecurity&) = delete;

  // Fails (true, logged) when a SID or the DACL can't be built.
  [[nodiscard]] bool build();
  // For CreateDirectoryW; valid after build() succeeded.
  [[nodiscard]] SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

 private:
  std::vector<BYTE> user_;
  std::vector<BYTE> system_;
  std::vector<BYTE> administrators_;
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_ = {};
  SECURITY_ATTRIBUTES attributes_ = {};
};

}  // namespace kelvra::run
