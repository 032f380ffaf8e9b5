#include "remoteconfig/remote_config_document.h"

#include <nlohmann/json.hpp>

namespace kelvra::remoteconfig {

VersionReading readAllowedVersion(const char* text) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& error) {
    // out_of_range (a number too large for a double) is raised while parsing too.
    return {VersionFailure::parse, error.what()};
  }
  try {
    return {VersionFailure::none, document["content"]["windows"]["version"].get<std::string>()};
  } catch (const nlohmann::json::exception& error) {
    return {VersionFailure::type, error.what()};
  }
}

}  // namespace kelvra::remoteconfig
