// What the reports and events say about the machine: the system's friendly name
// and the version of the client already installed, both read from the registry.
#pragma once

#include <string>

// "Microsoft Windows 7 Professional Service Pack 1", trimmed; empty when the
// system names no product.
[[nodiscard]] std::wstring systemFriendlyName();

// The installed client's version with everything but digits and full stops
// removed; empty when the client's key or value is missing.
[[nodiscard]] std::string installedClientVersion();
