// The files the bootstrapper leaves in the working folder for the front end (and
// the authentication file for the client setup). Each name is appended to the
// working folder's path, which has no trailing separator.
#pragma once

namespace kelvra::contract {

// The token as the trailer carries it, and the JSON document it decodes to. The
// token maker named them.
inline constexpr wchar_t kRawTokenFileName[] = L"\\payload.base64";
inline constexpr wchar_t kDecodedTokenFileName[] = L"\\payload.campaign";
inline constexpr wchar_t kAuthenticationFileName[] = L"\\zavKelvra.auth";
inline constexpr wchar_t kRemoteConfigFileName[] = L"\\remoteconfig.json";
inline constexpr wchar_t kIconFileName[] = L"\\icon.ico";
// Appended to a culture folder path. Named after the front end's module name, not
// after its file name: that is where the translation lookup expects it.
inline constexpr wchar_t kTranslationFileName[] = L"\\KelvraWebInstaller.resources.dll";

}  // namespace kelvra::contract
