// A packed resource on any bytes, inflated into a target of the size its
// header records, as staging inflates into a file's mapped view: nothing is
// written outside the target, and what succeeds is exactly the stream's content.
#include "staging/packed_resource.h"

#include <zlib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_support.h"

using namespace kelvra::staging;

namespace {

constexpr std::uint8_t kGuard = 0x5A;
constexpr std::size_t kGuardSize = 32;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> stored(data, size);
  const PackedResource packed = readPackedResource(stored);
  if (packed.damaged) {
    FUZZ_CHECK(packed.inflatedSize == 0 && packed.stream.empty());
    return 0;
  }
  FUZZ_CHECK(size >= kPackedResourceHeaderSize);
  FUZZ_CHECK(packed.stream.data() == data + kPackedResourceHeaderSize);
  FUZZ_CHECK(packed.inflatedSize <= kMostInflatedBytesPerStreamByte * packed.stream.size());

  std::vector<std::uint8_t> buffer(packed.inflatedSize + 2 * kGuardSize, kGuard);
  const std::span<std::uint8_t> target = std::span(buffer).subspan(kGuardSize, packed.inflatedSize);
  const bool failed = inflatePackedResource(packed, target);
  for (std::size_t i = 0; i < kGuardSize; ++i) {
    FUZZ_CHECK(buffer[i] == kGuard);
    FUZZ_CHECK(buffer[buffer.size() - 1 - i] == kGuard);
  }
  if (failed) return 0;

  // Success means the whole input is one zlib stream of exactly the recorded size:
  // zlib's own one-shot inflate, given a byte more room, agrees.
  std::vector<std::uint8_t> expected(packed.inflatedSize + 1);
  uLongf expectedSize = static_cast<uLongf>(expected.size());
  uLong consumed = static_cast<uLong>(packed.stream.size());
  FUZZ_CHECK(uncompress2(expected.data(), &expectedSize, packed.stream.data(), &consumed) == Z_OK);
  FUZZ_CHECK(expectedSize == packed.inflatedSize && consumed == packed.stream.size());
  FUZZ_CHECK(std::equal(target.begin(), target.end(), expected.begin()));
  return 0;
}
