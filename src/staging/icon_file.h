// Writing the icon file: the header here; ResourceExtractor::writeIconFile
// (icon_file.cpp) does the rest.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kelvra::staging {

// Writes the icon file header (reserved 0, type 1, count) at the file's position,
// one 2-byte write per field. Fails (true, not logged) at the first write that
// fails or writes fewer than 2 bytes.
[[nodiscard]] bool writeIconHeader(HANDLE file, std::uint16_t count);

}  // namespace kelvra::staging
