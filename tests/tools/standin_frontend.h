// What the stand-in front end (standin_frontend.exe) is told, through environment
// variables that it inherits from whoever starts it (the bootstrapper included):
//   KELVRA_STANDIN_EXIT_CODE      its exit code, decimal or 0x hex (default 0)
//   KELVRA_STANDIN_REPORT         file to write how it was started (lines below)
//   KELVRA_STANDIN_COPY_TO        folder to copy the folder it runs from into
//   KELVRA_STANDIN_CLIENT_FOLDER  install a client there: KelvraClient.exe and the
//                                 client's registry entries, as its setup does
//   KELVRA_STANDIN_CLIENT_LAYOUT  "32" (Software\ZAVsoft, the default) or "64"
//                                 (Software\WOW6432Node\ZAVsoft)
//   KELVRA_STANDIN_WAIT_FOR       before installing and exiting, wait until this
//                                 file exists (at most two minutes)
// Report, copy, wait, client, exit code: in this order.
// The report is UTF-8, one "key=value" line each: processId, executable,
// currentDirectory, commandLine, then one "argument" line per argument after the
// program name, then parentProcessId and parentExecutable of the process that
// started it (0 and empty when they can't be read). Exit code 99 means the
// stand-in itself failed.
#pragma once

inline constexpr wchar_t kStandinExitCodeVariable[] = L"KELVRA_STANDIN_EXIT_CODE";
inline constexpr wchar_t kStandinReportVariable[] = L"KELVRA_STANDIN_REPORT";
inline constexpr wchar_t kStandinCopyToVariable[] = L"KELVRA_STANDIN_COPY_TO";
inline constexpr wchar_t kStandinClientFolderVariable[] = L"KELVRA_STANDIN_CLIENT_FOLDER";
inline constexpr wchar_t kStandinClientLayoutVariable[] = L"KELVRA_STANDIN_CLIENT_LAYOUT";
inline constexpr wchar_t kStandinWaitForVariable[] = L"KELVRA_STANDIN_WAIT_FOR";
inline constexpr int kStandinToolFailure = 99;
