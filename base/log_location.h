// Where the run's log lives: the bootstrapper writes it, the front end reads it
// for its problem reports.
#pragma once

namespace kelvra::base {

// Fixed on drive C: and not taken from the environment.
inline constexpr wchar_t kLogFolderPath[] = L"C:/ProgramData/ZAVsoft/Kelvra/logs/";
inline constexpr wchar_t kLogFileName[] = L"InstallerBootstrapper.log";

}  // namespace kelvra::base
