// The front end's one window: four pages shown one at a time (initialisation,
// download, done, error) that show the run and pass on what the user does. The
// window procedure only turns messages into calls on the run; the window decides
// nothing and holds no worker.
#pragma once

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"
#include "run/front_end_view.h"

namespace kelvra::frontend {

class FrontEndRun;

class Window final : public FrontEndView {
 public:
  // Creates the window, hidden, on the initialisation page; run.start shows it.
  Window(HINSTANCE instance, FrontEndRun& run, int showCommand);
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // False when the window could not be created (logged); there is then nothing to run.
  [[nodiscard]] bool created() const { return window_ != nullptr; }

  // FrontEndView.
  [[nodiscard]] HWND handle() const override { return window_; }
  void useTexts(const LocalizedStrings& texts, const std::wstring& title) override;
  [[nodiscard]] bool showIcon(const std::wstring& path, DWORD& error) override;
  void appear() override;
  void showPage(Page page) override;
  void showBusy(bool busy) override;
  void showProgress(int percent) override;
  void showSizes(std::uint64_t received, std::uint64_t total) override;
  void showFailure(const core::FailurePage& page) override;
  void stepAside() override;
  [[nodiscard]] bool askToQuit() override;
  void openAddress(const std::wstring& address) override;
  void startTimer(RunTimer timer, unsigned milliseconds) override;
  void stopTimer(RunTimer timer) override;
  void close() override;

 private:
  // The window's life (window.cpp).
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK pageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
  [[nodiscard]] static bool enableVisualStyles();
  [[nodiscard]] bool registerWindowClasses() const;
  [[nodiscard]] bool createMainWindow();
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Controls, pages and layout (window_layout.cpp).
  void createControls();
  void createFonts();
  void applyFonts(bool redraw);
  void layoutControls();
  void placeErrorLink();
  void setControlText(HWND control, const std::wstring& text);
  void onDpiChanged(UINT dpi, const RECT& suggested);

  HINSTANCE instance_;
  FrontEndRun& run_;
  int showCommand_;
  const LocalizedStrings* texts_;
  HWND window_ = nullptr;
  UINT dpi_ = 96;
  HWND pages_[kPageCount] = {};
  HWND mainControls_[kPageCount] = {};  // where the focus lands when the page shows
  Page shownPage_ = Page::init;
  HWND labelWelcome_ = nullptr;
  HWND progressBarInit_ = nullptr;
  HWND labelWaitEnd_ = nullptr;
  HWND progressBarDownload_ = nullptr;
  HWND labelDownloadSize_ = nullptr;
  HWND labelStatistics_ = nullptr;
  HWND labelError_ = nullptr;
  HWND linkLabelError_ = nullptr;
  HWND buttonErrorExit_ = nullptr;
  base::ScopedFont font_;
  base::ScopedFont headingFont_;
  base::ScopedIcon bigIcon_;
  base::ScopedIcon smallIcon_;
  std::wstring iconPath_;  // set once the icon file loaded, to load it again at another DPI
};

}  // namespace kelvra::frontend
