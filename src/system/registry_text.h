// Text out of a fixed buffer that the registry filled: the value may or may not
// carry its terminating null. Platform-free, so it also builds natively.
#pragma once

#include <cstddef>
#include <string>

namespace kelvra::system {

// The text in buffer up to its first null character or, when there is none, up
// to the end of the dataBytes that the registry reported. Never reads past
// bufferLength characters, whatever dataBytes says; an odd last byte is no
// character.
[[nodiscard]] std::wstring registryTextFromBuffer(const wchar_t* buffer, std::size_t bufferLength,
                                                  std::size_t dataBytes);

}  // namespace kelvra::system
