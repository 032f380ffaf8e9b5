// zlib's callback inflate (inflateBack) rather than inflate: it links a third of
// the code (no gzip support, so no CRC tables) and keeps the bootstrapper's own code
// within its budget. The stream's two-byte zlib header and its Adler-32 trailer are
// checked here.
#include "staging/packed_resource.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace kelvra::staging {

namespace {

constexpr std::size_t kZlibHeaderSize = 2;
constexpr std::size_t kZlibTrailerSize = 4;
constexpr int kWindowBits = 15;

// Where inflated bytes go: target, never past its end, and their running check sum.
struct TargetCursor {
  std::span<std::uint8_t> target;
  std::size_t written = 0;
  uLong checkSum = adler32(0, nullptr, 0);
};

// inflateBack's output callback: non-zero stops the inflate with Z_BUF_ERROR.
int writeToTarget(void* descriptor, unsigned char* bytes, unsigned count) {
  auto& cursor = *static_cast<TargetCursor*>(descriptor);
  if (count > cursor.target.size() - cursor.written) return 1;
  std::memcpy(cursor.target.data() + cursor.written, bytes, count);
  cursor.written += count;
  cursor.checkSum = adler32(cursor.checkSum, bytes, count);
  return 0;
}

// inflateBack's input callback: every byte was handed over up front.
unsigned noMoreInput(void*, z_const unsigned char**) { return 0; }

// A zlib header naming deflate with a window inflateBack can hold, no preset
// dictionary, and a valid header check.
bool isDeflateHeader(std::uint8_t method, std::uint8_t flags) {
  return (method & 0x0F) == Z_DEFLATED && (method >> 4) + 8 <= kWindowBits && (flags & 0x20) == 0 &&
         (method * 256 + flags) % 31 == 0;
}

// zlib's callback inflate state and its window, ended on every way out.
class BackInflater {
 public:
  BackInflater() : window_(std::size_t{1} << kWindowBits) {
    failed_ = inflateBackInit(&stream_, kWindowBits, window_.data()) != Z_OK;
  }
  ~BackInflater() {
    if (!failed_) inflateBackEnd(&stream_);
  }
  BackInflater(const BackInflater&) = delete;
  BackInflater& operator=(const BackInflater&) = delete;

  [[nodiscard]] bool failed() const { return failed_; }
  z_stream& get() { return stream_; }

 private:
  std::vector<unsigned char> window_;
  z_stream stream_{};
  bool failed_ = true;
};

}  // namespace

PackedResource readPackedResource(std::span<const std::uint8_t> stored) {
  if (stored.size() < kPackedResourceHeaderSize ||
      !std::equal(kPackedResourceMagic.begin(), kPackedResourceMagic.end(), stored.begin())) {
    return {};
  }
  std::uint32_t inflatedSize = 0;
  for (std::size_t i = 0; i < 4; ++i) inflatedSize |= std::uint32_t{stored[4 + i]} << (8 * i);
  const std::span<const std::uint8_t> stream = stored.subspan(kPackedResourceHeaderSize);
  if (inflatedSize > kMostInflatedBytesPerStreamByte * stream.size()) return {};
  return {false, inflatedSize, stream};
}

bool inflatePackedResource(const PackedResource& packed, std::span<std::uint8_t> target) {
  if (packed.damaged || target.size() != packed.inflatedSize) return true;
  const std::span<const std::uint8_t> stream = packed.stream;
  if (stream.size() < kZlibHeaderSize + kZlibTrailerSize || !isDeflateHeader(stream[0], stream[1])) return true;
  // zlib counts in unsigned int; a resource and its file are 32-bit sized anyway.
  static_assert(std::numeric_limits<unsigned>::max() >= std::numeric_limits<std::uint32_t>::max());

  BackInflater inflater;
  if (inflater.failed()) return true;
  z_stream& state = inflater.get();
  state.next_in = const_cast<Bytef*>(stream.data() + kZlibHeaderSize);
  state.avail_in = static_cast<unsigned>(stream.size() - kZlibHeaderSize);
  TargetCursor cursor{target};
  if (inflateBack(&state, noMoreInput, nullptr, writeToTarget, &cursor) != Z_STREAM_END) return true;
  // After the deflate data comes exactly the Adler-32 of the content, most
  // significant byte first.
  if (state.avail_in != kZlibTrailerSize || cursor.written != target.size()) return true;
  uLong recordedCheckSum = 0;
  for (std::size_t i = 0; i < kZlibTrailerSize; ++i) recordedCheckSum = recordedCheckSum << 8 | state.next_in[i];
  return recordedCheckSum != cursor.checkSum;
}

}  // namespace kelvra::staging
