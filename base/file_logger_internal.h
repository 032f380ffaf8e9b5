// For tests, which create several loggers in one process.
#pragma once

#include <string>

namespace kelvra::base::internal {

// Removes a logger from the registry.
void dropLogger(const std::string& name);

}  // namespace kelvra::base::internal
