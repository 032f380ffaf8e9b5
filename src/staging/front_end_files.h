// Putting the front end on disk in the working folder: its executable, image,
// runtime configuration and one translation per culture folder.
#pragma once

#include <string>

#include "staging/resource_extractor.h"

namespace kelvra::staging {

// Writes the front end (id 129) and the image (id 133) records, each inflated,
// and the runtime configuration into the working folder (a path without a
// trailing separator).
// frontEndPath is set to the front end's path before anything is written, so it
// holds that path even after a failure. Stops at the first failed write (true,
// logged by the write).
[[nodiscard]] bool writeFrontEndFiles(const LoadedResource& frontEnd, const LoadedResource& image,
                                      const std::wstring& workingFolderPath, std::wstring& frontEndPath);

// Creates one folder per culture of the translation table in the working folder
// and writes that culture's translation resource into it, inflated, in table
// order. Stops at the first missing resource, folder that can't be created (an
// existing one included) or failed or damaged write (true, logged); what was
// written so far stays.
[[nodiscard]] bool writeTranslationFiles(ResourceExtractor extractor, const std::wstring& workingFolderPath);

}  // namespace kelvra::staging
