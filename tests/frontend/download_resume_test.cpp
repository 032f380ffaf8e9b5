// When a dropped download is tried again, and what its resumed request may take.
#include "core/download_resume.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

using namespace kelvra::frontend::core;

TEST(DownloadRetry, OnlyDropsAfterBytesArrivedAreTriedAgainThreeTimesWithGrowingPauses) {
  struct Case {
    const char* name;
    TransferEnd end;
    bool bytesArrived;
    int triesMade;
    bool retried;
  };
  const Case cases[] = {
      {"reset after bytes", TransferEnd::network, true, 1, true},
      {"stall after bytes", TransferEnd::stalled, true, 1, true},
      {"third drop", TransferEnd::network, true, 3, true},
      {"fourth drop: no tries left", TransferEnd::network, true, 4, false},
      {"refused connection, nothing arrived", TransferEnd::network, false, 1, false},
      {"silent server, nothing arrived", TransferEnd::stalled, false, 1, false},
      {"a status, a refused length or range", TransferEnd::refused, true, 1, false},
      {"the disk", TransferEnd::file, true, 1, false},
      {"cancelled", TransferEnd::cancelled, true, 1, false},
      {"no address", TransferEnd::address, true, 1, false},
      {"completed", TransferEnd::completed, true, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(shouldRetryDownload(c.end, c.bytesArrived, c.triesMade), c.retried);
  }
  EXPECT_EQ(kDownloadTries, 4);
  EXPECT_EQ(pauseBeforeTryMs(1, 1000), 0u);
  // As the log names a pause: a shortened one keeps its decimals.
  EXPECT_EQ(secondsText(4000) + L" " + secondsText(250) + L" " + secondsText(2005), L"4 0.25 2.005");
}

TEST(DownloadRetry, AResumeNeedsAValidatorThatIfRangeCanMatch) {
  struct Case {
    const wchar_t* etag;
    const wchar_t* lastModified;
    const wchar_t* validator;
  };
  const Case cases[] = {
      {L"\"v1\"", L"Tue, 08 Dec 2026 10:00:00 GMT", L"\"v1\""},
      {L"\"v1\"", L"", L"\"v1\""},
      // A weak ETag never matches in If-Range: the date stands in, or nothing does.
      {L"W/\"v1\"", L"Tue, 08 Dec 2026 10:00:00 GMT", L"Tue, 08 Dec 2026 10:00:00 GMT"},
      {L"W/\"v1\"", L"", L""},
      {L"v1", L"", L""},
      {L"\"", L"", L""},
      {L"", L"Tue, 08 Dec 2026 10:00:00 GMT", L"Tue, 08 Dec 2026 10:00:00 GMT"},
      {L"", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "etag " << testing::PrintToString(std::wstring(c.etag)));
    EXPECT_EQ(resumeValidator(c.etag, c.lastModified), c.validator);
  }
  // Without a validator the next try starts from zero.
  EXPECT_EQ(resumeOffset(4096, L"\"v1\""), 4096u);
  EXPECT_EQ(resumeOffset(4096, L""), 0u);
}

TEST(DownloadRetry, OnlyTheExactRestOfTheSameFileContinuesIt) {
  struct Case {
    const wchar_t* contentRange;
    std::uint64_t offset;
    std::uint64_t expectedTotal;
    bool continues;
  };
  const Case cases[] = {
      {L"bytes 400-999/1000", 400, 1000, true},
      {L"bytes 400-999/1000", 400, 0, true},       // the first answer had no length
      {L"bytes 0-999/1000", 400, 1000, false},     // the whole file again
      {L"bytes 300-999/1000", 400, 1000, false},   // overlaps the bytes on disk
      {L"bytes 500-999/1000", 400, 1000, false},   // leaves a gap
      {L"bytes 400-799/1000", 400, 1000, false},   // stops short of the end
      {L"bytes 400-1199/1200", 400, 1000, false},  // another file's length
      {L"bytes 400-999/*", 400, 1000, false},      // the length unknown
      {L"bytes 400-999/999", 400, 1000, false},    // last byte past the end
      {L"bytes 999-400/1000", 400, 1000, false},
      {L"bytes 400-999", 400, 1000, false},
      {L"bytes -400-999/1000", 400, 1000, false},
      {L"bytes  400-999/1000", 400, 1000, false},
      {L"items 400-999/1000", 400, 1000, false},
      {L"bytes 400-999/18446744073709551616", 400, 0, false},
      {L"", 400, 1000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.contentRange)));
    EXPECT_EQ(rangeContinuesAt(c.contentRange, c.offset, c.expectedTotal), c.continues);
  }
  const auto range = parseContentRange(L"bytes 0-0/*");
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->first, 0u);
  EXPECT_EQ(range->last, 0u);
  EXPECT_FALSE(range->complete.has_value());
}

TEST(DownloadRetry, AReportNamesTheTriesOnlyWhenThereWasMoreThanOne) {
  EXPECT_EQ(withDownloadTries(L"Failed downloading ZAV Kelvra Installer: https://h/s.exe", 1),
            L"Failed downloading ZAV Kelvra Installer: https://h/s.exe");
  EXPECT_EQ(withDownloadTries(L"Failed downloading ZAV Kelvra Installer: https://h/s.exe", 4),
            L"Failed downloading ZAV Kelvra Installer: https://h/s.exe (4 tries)");
}
