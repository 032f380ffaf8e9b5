// A packed payload resource on any bytes, inflated into a target of the size its
// header records, as staging inflates into a file's mapped view: nothing is
// written outside the target, and what succeeds is exactly the stream's content.
#include <zlib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_support.h"
#include "staging/packed_payload.h"

using namespace kelvra::staging;

namespace {

constexpr std::uint8_t kGuard = 0x5A;
constexpr std::size_t kGuardSize = 32;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> stored(data, size);
  const PackedPayload payload = readPackedPayload(stored);
  if (payload.damaged) {
    FUZZ_CHECK(payload.inflatedSize == 0 && payload.stream.empty());
    return 0;
  }
  FUZZ_CHECK(size >= kPackedPayloadHeaderSize);
  FUZZ_CHECK(payload.stream.data() == data + kPackedPayloadHeaderSize);
  FUZZ_CHECK(payload.inflatedSize <= kMostInflatedBytesPerStreamByte * payload.stream.size());

  std::vector<std::uint8_t> buffer(payload.inflatedSize + 2 * kGuardSize, kGuard);
  const std::span<std::uint8_t> target = std::span(buffer).subspan(kGuardSize, payload.inflatedSize);
  const bool failed = inflatePackedPayload(payload, target);
  for (std::size_t i = 0; i < kGuardSize; ++i) {
    FUZZ_CHECK(buffer[i] == kGuard);
    FUZZ_CHECK(buffer[buffer.size() - 1 - i] == kGuard);
  }
  if (failed) return 0;

  // Success means the whole input is one zlib stream of exactly the recorded size:
  // zlib's own one-shot inflate, given a byte more room, agrees.
  std::vector<std::uint8_t> expected(payload.inflatedSize + 1);
  uLongf expectedSize = static_cast<uLongf>(expected.size());
  uLong consumed = static_cast<uLong>(payload.stream.size());
  FUZZ_CHECK(uncompress2(expected.data(), &expectedSize, payload.stream.data(), &consumed) == Z_OK);
  FUZZ_CHECK(expectedSize == payload.inflatedSize && consumed == payload.stream.size());
  FUZZ_CHECK(std::equal(target.begin(), target.end(), expected.begin()));
  return 0;
}
