// Authenticode signatures as Windows checks them (WinVerifyTrust): the client
// setup's, read from the handle the front end holds, and the front end's own.
// wintrust.dll and crypt32.dll come from System32 (top README, "DLLs come from
// System32 only").
#pragma once

#include <windows.h>

#include <string>

#include "core/setup_publisher.h"

namespace kelvra::frontend {

// The signature of the file open as file (read access) at path: Windows' answer,
// and the signer's subject and usages when the signature holds.
[[nodiscard]] core::SignatureCheck checkFileSignature(HANDLE file, const std::wstring& path);

// The same for the front end's own program file.
[[nodiscard]] core::SignatureCheck checkOwnSignature();

}  // namespace kelvra::frontend
