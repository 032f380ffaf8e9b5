// A download mark of any bytes: the zone, when there is one, is the number the
// stream's text spells.
#include "token/zone_identifier.h"

#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"

using namespace kelvra::token;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<unsigned> zone = zoneIdOf(text);
  if (zone) FUZZ_CHECK(text.find(std::to_string(*zone)) != std::string::npos);
  return 0;
}
