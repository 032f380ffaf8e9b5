#include "setup_publisher.h"

#include <algorithm>

namespace kelvra::frontend::core {

namespace {

// WinVerifyTrust's answers for a file that carries no signature it can read.
constexpr std::uint32_t kNoSignature = 0x800B0100;      // TRUST_E_NOSIGNATURE
constexpr std::uint32_t kSubjectUnknown = 0x800B0003;   // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr std::uint32_t kProviderUnknown = 0x800B0001;  // TRUST_E_PROVIDER_UNKNOWN
// ... and for one whose signed digest is not that of its contents.
constexpr std::uint32_t kBadDigest = 0x80096010;  // TRUST_E_BAD_DIGEST
constexpr std::uint32_t kHashValue = 0x80091007;  // CRYPT_E_HASH_VALUE

std::wstring errorCode(std::uint32_t status) {
  static constexpr wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring hex = L" (error 0x";
  for (int shift = 28; shift >= 0; shift -= 4) hex += digits[(status >> shift) & 15];
  return hex + L").";
}

std::wstring quotedList(const std::vector<std::wstring>& names) {
  std::wstring text;
  for (const std::wstring& name : names) text += (text.empty() ? L"'" : L", '") + name + L"'";
  return text;
}

}  // namespace

std::vector<std::wstring> makersPublishers(const SignatureCheck& own, std::wstring_view configured) {
  std::vector<std::wstring> names;
  if (own.status == 0 && !own.subject.empty()) names.push_back(own.subject);
  while (!configured.empty()) {
    const std::size_t end = std::min(configured.find(L';'), configured.size());
    if (end > 0) names.emplace_back(configured.substr(0, end));
    configured.remove_prefix(std::min(end + 1, configured.size()));
  }
  return names;
}

PublisherJudgement judgeSetupPublisher(const SignatureCheck& setup, const SignatureCheck& own,
                                       std::wstring_view configured) {
  const std::uint32_t status = setup.status;
  if (status == kNoSignature || status == kSubjectUnknown || status == kProviderUnknown) {
    return {PublisherVerdict::notSigned, L"The client setup is not signed" + errorCode(status)};
  }
  if (status == kBadDigest || status == kHashValue) {
    return {PublisherVerdict::changed, L"The client setup's signature does not match its contents" + errorCode(status)};
  }
  if (status != 0) {
    return {PublisherVerdict::untrusted,
            L"The client setup's signature is not trusted on this machine" + errorCode(status)};
  }
  const std::wstring signer = L"The client setup is signed by '" + setup.subject + L"'";
  if (!setup.forCode) {
    return {PublisherVerdict::notForCode, signer + L" with a certificate that is not for signing code."};
  }
  const std::vector<std::wstring> makers = makersPublishers(own, configured);
  if (makers.empty()) {
    return {PublisherVerdict::makerUnknown,
            L"The front end could not read its own signer" + errorCode(own.status) +
                L" No setup publisher is configured either: the client setup is refused."};
  }
  if (std::find(makers.begin(), makers.end(), setup.subject) == makers.end()) {
    return {PublisherVerdict::otherPublisher, signer + L", not by the maker (" + quotedList(makers) + L")."};
  }
  return {PublisherVerdict::accepted, signer + L", the maker."};
}

}  // namespace kelvra::frontend::core
