// Where the run's log lives: the bootstrapper writes it, the front end reads it
// for its problem reports.
#pragma once

namespace kelvra::contract {

// Fixed on drive C: and not taken from the environment.
inline constexpr wchar_t kLogFolderPath[] = L"C:/ProgramData/ZAVsoft/Kelvra/logs/";
inline constexpr wchar_t kLogRoot[] = L"C:\\ProgramData";
inline constexpr wchar_t kLogSubfolders[] = L"ZAVsoft\\Kelvra\\logs";
inline constexpr wchar_t kLogFileName[] = L"InstallerBootstrapper.log";

// Set by the bootstrapper for the front end it starts: the full path of the log
// this run writes, and the size it had before the run's first line, so that a
// problem report carries this run's lines and no one else's.
inline constexpr wchar_t kRunLogPathVariable[] = L"KELVRA_BOOTSTRAPPER_LOG";
inline constexpr wchar_t kRunLogStartVariable[] = L"KELVRA_BOOTSTRAPPER_LOG_START";

}  // namespace kelvra::contract
