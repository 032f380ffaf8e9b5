// The token's base64 decoder on any text, and encoding followed by decoding on
// any bytes.
#include "base/base64.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"

using namespace kelvra::base;

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void checkDecoding(std::string_view text) {
  const ExactBytes exact(text);
  std::string output = "untouched";
  const bool failed = decodeBase64(exact.view(), output);
  if (text.size() % 4 != 0) {
    FUZZ_CHECK(failed && output == "untouched");
    return;
  }
  FUZZ_CHECK(!failed);
  std::size_t expected = text.size() / 4 * 3;
  if (!text.empty() && text.back() == '=') --expected;
  if (text.size() >= 2 && text[text.size() - 2] == '=') --expected;
  FUZZ_CHECK(output.size() == expected);
}

void checkRoundTrip(std::string_view bytes) {
  const std::string text = encodeBase64(bytes);
  FUZZ_CHECK(text.size() == (bytes.size() + 2) / 3 * 4);
  const std::size_t padding = (3 - bytes.size() % 3) % 3;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool pad = i >= text.size() - padding;
    FUZZ_CHECK(pad ? text[i] == '=' : kAlphabet.find(text[i]) != std::string_view::npos);
  }
  std::string decoded;
  FUZZ_CHECK(!decodeBase64(text, decoded));
  FUZZ_CHECK(decoded == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  checkDecoding(input);
  checkRoundTrip(input);
  return 0;
}
