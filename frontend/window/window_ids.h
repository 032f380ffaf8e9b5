// The front end window's class and the ids of its pages and controls, shared with
// the test helper that drives the window.
#pragma once

namespace kelvra::frontend {

inline constexpr wchar_t kWindowClassName[] = L"KelvraWebInstallerWindow";
inline constexpr wchar_t kPageClassName[] = L"KelvraWebInstallerPage";

// Ids above IDOK and IDCANCEL, which the dialog keys send.
enum ControlId : int {
  idTabInit = 100,
  idTabDownload,
  idTabDone,
  idTabError,
  idLabelWelcome = 200,
  idLabelWaitEnd,
  idProgressBarDownload,
  idLabelDownloadSize,
  idLabelStatistics,
  idLabelError,
  idLinkLabelError,
  idButtonErrorExit,
  idProgressBarInit,
};

struct ControlName {
  int id;
  const wchar_t* name;
};

// Pages carry their name as window text too, which nothing draws.
inline constexpr ControlName kControlNames[] = {
    {idTabInit, L"tabInit"},
    {idTabDownload, L"tabDownload"},
    {idTabDone, L"tabDone"},
    {idTabError, L"tabError"},
    {idLabelWelcome, L"labelWelcome"},
    {idLabelWaitEnd, L"labelWaitEnd"},
    {idProgressBarDownload, L"progressBarDownload"},
    {idLabelDownloadSize, L"labelDownloadSize"},
    {idLabelStatistics, L"labelStatistics"},
    {idLabelError, L"labelError"},
    {idLinkLabelError, L"linkLabelError"},
    {idButtonErrorExit, L"buttonErrorExit"},
    {idProgressBarInit, L"progressBarInit"},
};

}  // namespace kelvra::frontend
