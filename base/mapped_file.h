// Writing a block of memory to a new file in one piece, through a file mapping.
#pragma once

#include <cstdint>
#include <string>

namespace kelvra::base {

// Creates the file at path (replacing any file there) and leaves exactly size bytes
// of data in it. Fails (true, logged with the path and the Windows error code)
// when the file can't be created or mapped; a zero size always fails, because an
// empty file can't be mapped. A file created before a failure is left behind.
// Creates no folders.
[[nodiscard]] bool writeMappedFile(const std::wstring& path, const void* data, std::uint32_t size);

}  // namespace kelvra::base
