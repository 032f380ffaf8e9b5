// What the reports and events say about the machine: the system's friendly name
// and the version of the client already installed, both read from the registry.
#pragma once

#include <string>

namespace kelvra::frontend {

// "Microsoft Windows 7 Professional Service Pack 1", trimmed; empty when the
// system names no product.
[[nodiscard]] std::wstring systemFriendlyName();

// The client's key under HKEY_LOCAL_MACHINE as the shipped 32-bit front end sees
// it on 64-bit Windows, where the system redirects it to the Wow6432Node view; a
// 64-bit build names that view itself.
inline constexpr const wchar_t* kInstalledClientKey =
    sizeof(void*) == 8 ? L"SOFTWARE\\Wow6432Node\\ZAVsoft\\KelvraClient" : L"SOFTWARE\\ZAVsoft\\KelvraClient";

// The installed client's version with everything but digits and full stops
// removed; empty when the client's key or value is missing.
[[nodiscard]] std::string installedClientVersion();

}  // namespace kelvra::frontend
