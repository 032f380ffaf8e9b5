// The token trailer reader on any tail of a file, the trailer builder on any
// token, and kelvra-stamp on any executable: what is stamped reads back.
#include "contract/token_trailer.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "stamp/stamping.h"

using namespace kelvra::stamp;
using namespace kelvra::contract;

namespace {

bool hasHeader(std::string_view bytes) {
  return bytes.size() >= kTrailerHeader.size() &&
         bytes.substr(0, kTrailerHeader.size()) ==
             std::string_view(reinterpret_cast<const char*>(kTrailerHeader.data()), kTrailerHeader.size());
}

// The region the bootstrapper reads: the last kTrailerSize bytes, or fewer when the
// file is shorter (they show up as short reads).
std::string_view trailerRegion(std::string_view file) {
  return file.size() > kTrailerSize ? file.substr(file.size() - kTrailerSize) : file;
}

void checkReading(std::string_view region) {
  const ExactBytes exact(region);
  const TrailerReading reading = parseTokenTrailer(exact.view());
  FUZZ_CHECK(!reading.lines.empty());
  if (reading.failed) {
    FUZZ_CHECK(reading.token.empty());
    return;
  }
  FUZZ_CHECK(hasHeader(region));
  FUZZ_CHECK(!reading.token.empty() && reading.token.size() <= kTokenSpace);
  FUZZ_CHECK(reading.token == region.substr(kTokenOffset, reading.token.size()));
  FUZZ_CHECK(reading.lines.size() == 2);
}

void checkRoundTrip(std::string_view token) {
  const auto trailer = buildTokenTrailer(token);
  FUZZ_CHECK(trailer.has_value() == (token.size() <= kTokenSpace));
  if (!trailer) return;
  FUZZ_CHECK(trailer->size() == kTrailerSize);
  FUZZ_CHECK(endsInTokenTrailer(*trailer));
  const TrailerReading reading = parseTokenTrailer(*trailer);
  FUZZ_CHECK(reading.failed == token.empty());
  FUZZ_CHECK(reading.token == token);
}

// A small unsigned PE32 image: "MZ", e_lfanew = 64, "PE\0\0", a file header and an
// optional header with no data directory and no checksum.
std::string minimalPe() {
  std::string image(256, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = 64;
  image.replace(64, 4, std::string_view("PE\0\0", 4));
  image[84] = static_cast<char>(0xE0);  // size of the optional header
  image[88] = 0x0B;                     // PE32 magic 0x10B
  image[89] = 0x01;
  return image;
}

void checkStamping(std::string_view executable, std::string_view token) {
  const StampedExecutable stamped = stampExecutable(executable, token);
  if (stamped.refusal.refused) {
    FUZZ_CHECK(!stamped.refusal.message.empty() && stamped.bytes.empty());
    return;
  }
  FUZZ_CHECK(!token.empty() && token.size() <= kTokenSpace);
  const TrailerReading reading = parseTokenTrailer(trailerRegion(stamped.bytes));
  FUZZ_CHECK(!reading.failed && reading.token == token);
  FUZZ_CHECK(describeToken(stamped.bytes).hasToken);

  // Stamping again replaces the trailer instead of stacking a second one, and
  // stripping then stamping gives the same file.
  const StampedExecutable again = stampExecutable(stamped.bytes, token);
  FUZZ_CHECK(!again.refusal.refused && again.replacedTrailer && again.bytes == stamped.bytes);
  const StampedExecutable stripped = stripExecutable(stamped.bytes);
  FUZZ_CHECK(!stripped.refusal.refused && stripped.replacedTrailer);
  FUZZ_CHECK(stripped.bytes.size() < stamped.bytes.size());
  const StampedExecutable restamped = stampExecutable(stripped.bytes, token);
  FUZZ_CHECK(!restamped.refusal.refused && restamped.bytes == stamped.bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // The input as the end of an executable.
  checkReading(trailerRegion(input));
  FUZZ_CHECK(endsInTokenTrailer(input) == (input.size() >= kTrailerSize && hasHeader(trailerRegion(input))));
  (void)describeToken(input);

  // The input as a token, and as an executable to stamp.
  checkRoundTrip(input);
  checkStamping(minimalPe() + std::string(input), "eyJjYW1wYWlnbiI6e319");
  checkStamping(input, "eyJjYW1wYWlnbiI6e319");
  checkStamping(minimalPe(), input);
  return 0;
}
