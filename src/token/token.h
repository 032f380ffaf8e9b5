// The personalized token: read from the trailer of the bootstrapper's own
// executable, left in the working folder raw and decoded for the front end, and
// the authentication file copied beside it. No step here stops a run; each logs
// its cause through fileLogger.
#pragma once

#include <string>

namespace kelvra::token {

// Reads the token from the trailer of the running executable. True on every
// failure (an empty token included), logged; token is assigned only when a token
// was read and otherwise keeps what the caller put in it.
[[nodiscard]] bool readPersonalizedToken(std::string& token);

// The same for the executable at executablePath.
[[nodiscard]] bool readPersonalizedTokenFrom(const std::wstring& executablePath, std::string& token);

// Creates or truncates the file at path and leaves exactly text's bytes in it.
// True on failure (logged); a file created before the failure stays.
[[nodiscard]] bool writeTokenFile(const std::string& text, const std::wstring& path);

// Decodes the base64 token and writes the JSON it carries back compactly into
// decoded. True on failure (logged); decoded is then unchanged.
[[nodiscard]] bool decodeToken(const std::string& token, std::string& decoded);

// Copies zavKelvra.auth from the current directory into the working folder when it
// is there, overwriting an older copy. Only logs: the run goes on in every case.
void copyAuthenticationFile(const std::wstring& workingFolderPath);

}  // namespace kelvra::token
