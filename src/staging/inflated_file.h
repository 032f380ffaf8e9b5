// Writing a packed resource to a new file, inflated straight into the
// file's mapped view.
#pragma once

#include <string>

#include "staging/resource_extractor.h"

namespace kelvra::staging {

// Creates the file at path (replacing any file there) and inflates the resource
// into it: the file holds exactly the size the resource records. Fails (true,
// logged) when the file can't be created or mapped, as base::writeMappedFile does,
// or when the resource does not inflate to its recorded size (a damaged download);
// a file made for a damaged resource is deleted again, so nothing half-written is
// left behind.
[[nodiscard]] bool writeInflatedFile(const std::wstring& path, const LoadedResource& resource);

}  // namespace kelvra::staging
