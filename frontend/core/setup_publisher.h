// Whose client setup may run: the verdict on the setup's Authenticode signature,
// as Windows checked it, and on its signer against the maker's publishers.
// Platform-free: the caller asks Windows (setup_signature.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::frontend::core {

// What Windows said of one file's signature.
struct SignatureCheck {
  // WinVerifyTrust's answer: 0 when the signature matches the file and its chain
  // ends at a root the machine trusts.
  std::uint32_t status = 0;
  // The signing (leaf) certificate's subject as an X.500 string ("CN=..., O=...,
  // C=..."); read when status is 0.
  std::wstring subject;
  // The certificate may sign code: it names no usages, or code signing among them.
  bool forCode = true;
};

enum class PublisherVerdict {
  accepted,
  notSigned,
  changed,         // the signature does not match the file's contents
  untrusted,       // no trusted chain, expired, distrusted, or Windows could not check
  notForCode,      // the signer's certificate is not one for signing code
  otherPublisher,  // a valid signature by someone who is not the maker
  makerUnknown,    // neither the front end's own signer nor a configured publisher
};

struct PublisherJudgement {
  PublisherVerdict verdict = PublisherVerdict::accepted;
  std::wstring message;  // the log line; for a refusal also the problem report's message
};

// The maker's publishers: the front end's own signer (when its signature held),
// then each subject of the build setting, separated by ';' (a CMake list), empty items dropped.
[[nodiscard]] std::vector<std::wstring> makersPublishers(const SignatureCheck& own, std::wstring_view configured);

// The setup's own signature first; then, signed and trusted, whether its signer is
// one of the maker's publishers (subjects compared whole and exactly).
[[nodiscard]] PublisherJudgement judgeSetupPublisher(const SignatureCheck& setup, const SignatureCheck& own,
                                                     std::wstring_view configured);

}  // namespace kelvra::frontend::core
