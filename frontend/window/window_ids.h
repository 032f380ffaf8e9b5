// The front end window's class and the ids of its pages and controls, shared with
// the test helper that drives the window.
#pragma once

#include "run/front_end_view.h"

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

// The pages: one row each, in the order of Page. A page carries its name as
// window text too, which nothing draws. A new page is a value of Page, a row here
// and its controls in window_layout.cpp.
struct PageEntry {
  Page page;
  ControlName control;
};
inline constexpr PageEntry kPages[] = {
    {Page::init, {idTabInit, L"tabInit"}},
    {Page::download, {idTabDownload, L"tabDownload"}},
    {Page::done, {idTabDone, L"tabDone"}},
    {Page::error, {idTabError, L"tabError"}},
};
constexpr bool pagesInOrder() {
  int index = 0;
  for (const PageEntry& entry : kPages) {
    if (static_cast<int>(entry.page) != index++) return false;
  }
  return index == kPageCount;
}
static_assert(pagesInOrder());

constexpr const PageEntry& pageEntry(Page page) { return kPages[static_cast<int>(page)]; }

inline constexpr ControlName kControlNames[] = {
    kPages[0].control,
    kPages[1].control,
    kPages[2].control,
    kPages[3].control,
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
