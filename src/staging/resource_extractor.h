// The bootstrapper's own resources, found by id and type and used in place, and the
// icon file made from them. A value object: copies share the run's logger.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/logging.h"

namespace kelvra::staging {

// What loadResource found. Owns nothing: data points into the loaded executable
// image, stays valid until the process ends and must never be written. id is the
// id looked up; data and size are set only by a successful lookup.
struct LoadedResource {
  std::uint16_t id = 0;
  HGLOBAL resource = nullptr;
  HRSRC resourceInfo = nullptr;
  const std::uint8_t* data = nullptr;
  std::uint32_t size = 0;
};

class ResourceExtractor {
 public:
  explicit ResourceExtractor(base::LoggerHandle logger);

  // Looks up resource id of the numeric type in the running executable, in whatever
  // language it is stored. Fails (true, logged with the id) when it is missing.
  [[nodiscard]] bool loadResource(LoadedResource& resource, std::uint16_t id, std::uint16_t type) const;

  // Writes the icon file for the icon group resource and its images to path,
  // replacing any file there. Fails (true, logged) when a resource is missing or
  // malformed or a write fails; a partly written file is left in place.
  [[nodiscard]] bool writeIconFile(std::wstring path) const;

 private:
  base::LoggerHandle logger_;
};

}  // namespace kelvra::staging
