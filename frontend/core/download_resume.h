// Resuming the setup download after a dropped connection: which ends of a try are
// worth another, the pause before each, what a resumed request may ask for and
// whether the server's partial answer is exactly that. Platform-free: the glue
// sends the requests, keeps the file and waits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra::frontend::core {

// How one try of the download ended.
enum class TransferEnd {
  completed,
  network,    // a reset, a time-out, a connection closed before the announced end
  stalled,    // the stall rule gave the body up
  refused,    // the server's answer is not taken: a status, an announced length or range, a body past the cap
  file,       // the setup file could not be created or written
  cancelled,  // the user cancelled
  address,    // no usable address or session: nothing a new try changes
};

// The first try and three more.
inline constexpr int kDownloadTries = 4;

// True when the try numbered triesMade (1 for the first) ended so that another
// is worth it: at the network, after some bytes of the setup arrived in any try,
// and tries are left.
[[nodiscard]] bool shouldRetryDownload(TransferEnd end, bool bytesArrived, int triesMade);

// The pause before the try numbered tryNumber (2, 3, 4): firstPauseMs, then twice
// and four times that.
[[nodiscard]] std::uint64_t pauseBeforeTryMs(int tryNumber, std::uint64_t firstPauseMs);

// A pause as the log gives it, in seconds: whole ones bare ("4"), others with
// their decimals ("0.25").
[[nodiscard]] std::wstring secondsText(std::uint64_t milliseconds);

// The If-Range value that makes a resumed answer safe, from the answer the bytes on
// disk came from: its ETag when strong, else its Last-Modified. Empty when there
// is neither: a weak ETag never matches in If-Range, and a Range without If-Range
// could splice two versions of the file, so the next try starts from zero.
[[nodiscard]] std::wstring resumeValidator(std::wstring_view etag, std::wstring_view lastModified);

// The byte the next try asks for: the bytes on disk, or 0 when there is no validator.
[[nodiscard]] std::uint64_t resumeOffset(std::uint64_t bytesOnDisk, std::wstring_view validator);

// A Content-Range of bytes: "bytes FIRST-LAST/COMPLETE" (COMPLETE may be "*").
struct ContentRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::optional<std::uint64_t> complete;
};

// The header's value parsed strictly (digits only, first <= last < complete);
// nothing when it is not such a range.
[[nodiscard]] std::optional<ContentRange> parseContentRange(std::wstring_view value);

// True when a 206's Content-Range is the rest that "Range: bytes=offset-" asked
// for: from offset to the last byte of the whole file, whose length must be the
// one the first answer announced (expectedTotal; 0 when it announced none).
[[nodiscard]] bool rangeContinuesAt(std::wstring_view contentRange, std::uint64_t offset, std::uint64_t expectedTotal);

// The problem report's message of a download that failed after more than one try
// names their number; a single try's stays as it always was.
[[nodiscard]] std::wstring withDownloadTries(std::wstring reportMessage, int tries);

}  // namespace kelvra::frontend::core
