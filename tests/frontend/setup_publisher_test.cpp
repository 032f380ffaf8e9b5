#include "core/setup_publisher.h"

#include <string>

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

TEST(SetupPublisher, OnlyAnIntactTrustedSignatureOfTheMakersRuns) {
  const std::wstring maker = L"CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE";
  const SignatureCheck own{0, maker, true};
  const SignatureCheck ownUnreadable{0x800B0100, L"", false};
  struct Case {
    const char* name;
    SignatureCheck setup;
    SignatureCheck own;
    const wchar_t* configured;
    PublisherVerdict verdict;
    const wchar_t* message;
  };
  const Case cases[] = {
      {"the maker",
       {0, maker, true},
       own,
       L"",
       PublisherVerdict::accepted,
       L"The client setup is signed by 'CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE', the maker."},
      {"not signed",
       {0x800B0100, L"", true},
       own,
       L"",
       PublisherVerdict::notSigned,
       L"The client setup is not signed (error 0x800B0100)."},
      {"changed after signing",
       {0x80096010, L"", true},
       own,
       L"",
       PublisherVerdict::changed,
       L"The client setup's signature does not match its contents (error 0x80096010)."},
      {"untrusted root",
       {0x800B0109, L"", true},
       own,
       L"",
       PublisherVerdict::untrusted,
       L"The client setup's signature is not trusted on this machine (error 0x800B0109)."},
      // The same organisation's name in another order, or part of it, is someone else.
      {"someone else",
       {0, L"CN=ZAVsoft GmbH", true},
       own,
       L"",
       PublisherVerdict::otherPublisher,
       L"The client setup is signed by 'CN=ZAVsoft GmbH', not by the maker "
       L"('CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE')."},
      {"not for code",
       {0, maker, false},
       own,
       L"",
       PublisherVerdict::notForCode,
       L"The client setup is signed by 'CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE' with a certificate that is not for "
       L"signing code."},
      {"a configured publisher",
       {0, L"CN=Partner", true},
       own,
       L";CN=Other;CN=Partner;",
       PublisherVerdict::accepted,
       L"The client setup is signed by 'CN=Partner', the maker."},
      {"configured, own unreadable",
       {0, L"CN=Partner", true},
       ownUnreadable,
       L"CN=Partner",
       PublisherVerdict::accepted,
       L"The client setup is signed by 'CN=Partner', the maker."},
      {"configured, not this one",
       {0, maker, true},
       ownUnreadable,
       L"CN=Partner",
       PublisherVerdict::otherPublisher,
       L"The client setup is signed by 'CN=ZAVsoft GmbH, O=ZAVsoft GmbH, C=DE', not by the maker ('CN=Partner')."},
      // Fails closed: no signer to compare with is no reason to run any.
      {"maker unknown",
       {0, maker, true},
       ownUnreadable,
       L";",
       PublisherVerdict::makerUnknown,
       L"The front end could not read its own signer (error 0x800B0100). No setup publisher is configured either: "
       L"the client setup is refused."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PublisherJudgement judgement = judgeSetupPublisher(c.setup, c.own, c.configured);
    EXPECT_EQ(judgement.verdict, c.verdict);
    EXPECT_EQ(judgement.message, c.message);
  }
  EXPECT_EQ(makersPublishers(own, L"CN=A;;CN=B"), (std::vector<std::wstring>{maker, L"CN=A", L"CN=B"}));
}
