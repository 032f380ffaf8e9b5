#include "staging/resource_extractor.h"

#include <utility>

namespace kelvra::staging {

ResourceExtractor::ResourceExtractor(base::LoggerHandle logger) : logger_(std::move(logger)) {}

bool ResourceExtractor::loadResource(LoadedResource& resource, std::uint16_t id, std::uint16_t type) const {
  // A null module is the executable itself; no language is named, so a resource
  // is found whatever the user's language.
  resource.id = id;
  resource.resourceInfo = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (resource.resourceInfo == nullptr) {
    base::logError(logger_, "Failed to find resource. Resource id: {}.", id);
    return true;
  }
  resource.resource = LoadResource(nullptr, resource.resourceInfo);
  if (resource.resource == nullptr) {
    base::logError(logger_, "Failed to load resource. Resource id: {}.", id);
    return true;
  }
  const void* data = LockResource(resource.resource);
  const DWORD size = SizeofResource(nullptr, resource.resourceInfo);
  // Callers copy size bytes from data: a null pointer with a size must not reach them.
  if (data == nullptr && size != 0) {
    base::logError(logger_, "Failed to lock resource. Resource id: {}.", id);
    return true;
  }
  resource.data = static_cast<const std::uint8_t*>(data);
  resource.size = size;
  return false;
}

}  // namespace kelvra::staging
