// Creation of the rotating file logger that every run writes to.
#pragma once

#include <cstddef>
#include <string>

#include "base/logging.h"

namespace kelvra::base {

// Creates a rotating logger (maxFiles older files beside the current one), flushed
// after every line of level info or above, and registers it under name. When the
// file can't be opened, a logger that writes nowhere is registered under the same
// name instead, so that the run can still install. Never returns null.
[[nodiscard]] LoggerHandle createFileLogger(const std::string& name, const std::wstring& path, std::size_t maxSize,
                                            std::size_t maxFiles);

}  // namespace kelvra::base
