// What the run needs of a window: it shows the run's state and asks the user, and
// decides nothing. The window implements it; the run calls it on the window's
// thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/failure_page.h"
#include "platform/localized_strings.h"

namespace kelvra::frontend {

// The pages, in the order of the window's page table.
enum class Page { init, download, done, error };
inline constexpr int kPageCount = 4;

// The run's timers, which the window runs and hands back to the run.
enum class RunTimer : UINT_PTR { sizeLabel = 1, endWatch = 2 };

class FrontEndView {
 public:
  virtual ~FrontEndView() = default;

  // The window whose messages carry the hand-backs, and the owner of whatever the
  // run shows in front of it (the setup's consent prompt, the browser).
  [[nodiscard]] virtual HWND handle() const = 0;

  // The texts to show from now on (texts outlives the view's use of it) and the
  // window's title.
  virtual void useTexts(const LocalizedStrings& texts, const std::wstring& title) = 0;
  // False, with the system's code in error, when the file holds no usable icon.
  [[nodiscard]] virtual bool showIcon(const std::wstring& path, DWORD& error) = 0;
  // Shows the window on its initialisation page, busy, in front.
  virtual void appear() = 0;

  virtual void showPage(Page page) = 0;
  virtual void showBusy(bool busy) = 0;
  virtual void showProgress(int percent) = 0;
  virtual void showSizes(std::uint64_t received, std::uint64_t total) = 0;
  // The error page's texts and link; the page itself follows with showPage.
  virtual void showFailure(const core::FailurePage& page) = 0;
  // Minimised and hidden, so that the setup's own window is seen.
  virtual void stepAside() = 0;

  // Asks whether to quit the download; true on yes.
  [[nodiscard]] virtual bool askToQuit() = 0;
  // Opens address in the user's browser.
  virtual void openAddress(const std::wstring& address) = 0;

  virtual void startTimer(RunTimer timer, unsigned milliseconds) = 0;
  virtual void stopTimer(RunTimer timer) = 0;
  // Destroys the window, which ends the message loop.
  virtual void close() = 0;
};

}  // namespace kelvra::frontend
