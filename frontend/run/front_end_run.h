// The front end's run from its start-up to its exit: the steps in their order, the
// rules for a failure and for closing the window, the reports and the three
// workers. It lives on the window's thread, shows itself through a FrontEndView and
// never waits there: the workers hand back through HandBack, a close aborts what it
// can and the window goes on answering until the workers end.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "net/network_log.h"
#include "platform/localized_strings.h"
#include "platform/logger.h"
#include "run/download_worker.h"
#include "run/front_end_view.h"
#include "run/hand_back.h"
#include "run/reports.h"
#include "run/run_state.h"
#include "run/setup_file.h"
#include "run/setup_worker.h"
#include "run/startup_worker.h"

namespace kelvra::frontend {

class FrontEndRun {
 public:
  // folder is the working folder (the executable's), which holds the staged files
  // and gets the setup; arguments are the command line's, without the program's
  // name. The texts are English until start picks the user's.
  FrontEndRun(HINSTANCE instance, std::wstring folder, std::vector<std::wstring> arguments, FrontEndSettings settings);
  FrontEndRun(const FrontEndRun&) = delete;
  FrontEndRun& operator=(const FrontEndRun&) = delete;

  [[nodiscard]] Logger& logger() { return logger_; }
  [[nodiscard]] const LocalizedStrings& texts() const { return *strings_; }

  // The start-up on the window's thread (arguments, texts, icon, the user), then the
  // start-up worker; view must outlive the run's calls on it (until onWindowGone).
  void start(FrontEndView& view);

  // What the window's messages mean to the run; window thread.
  void onHandBack();
  void onTimer(RunTimer timer);
  // True when the window may close now; otherwise the run closes it when it ends.
  [[nodiscard]] bool onCloseAsked();
  // Esc: as Exit on the error page, as the close box elsewhere. True as onCloseAsked.
  [[nodiscard]] bool onEscapePressed();
  void onExitChosen();
  void onLinkChosen();
  void onWindowDeactivated();
  void onWindowGone();

  // The single error handling: the first failure of a run shows its error page and
  // sends its report; later ones are ignored. Window thread.
  void fail(const std::exception& error);

  // After the message loop: aborts what still runs and waits until the workers and
  // the report worker are done. True when it gave up on a proxy script that
  // can't be aborted: the process must then end without waiting for it.
  [[nodiscard]] bool endWorkers();
  // The code the program ends with: 0 unless an exit stored another.
  [[nodiscard]] int exitCode() const { return exitCode_; }

 private:
  enum class Step { startingUp, downloading, settingUp };

  // The start-up's steps on the window's thread.
  void parseArguments();
  void useUserInterfaceLanguage();
  void loadIcon();
  void logUser();
  void startStartup();
  void onStartupEnded(bool succeeded);

  // The download and the setup.
  void startSizeTimer();
  void showSizes();
  void startDownload();
  void onDownloadEnded();
  void onSetupEnded(int exitCode);
  void cancelDownload();
  void removeSetupFile();

  // Failures, closing and the exit.
  void showErrorPage();
  [[nodiscard]] bool asksBeforeClosing() const;
  void cancelRun();
  void endCancelledRun();
  void exit(int code);
  void finishExit(int code);
  void giveUpStuckProxyScript();
  void logGivingUp();
  [[nodiscard]] std::function<void(const std::exception&)> failureHandBack();

  HINSTANCE instance_;
  std::vector<std::wstring> arguments_;
  FrontEndSettings settings_;
  std::wstring folder_;
  Logger logger_;
  NetworkLogScope networkLog_{logger_};
  std::unique_ptr<LocalizedStrings> strings_;
  RunState state_;
  SetupFile setupFile_;
  FrontEndView* view_ = nullptr;  // null before start and once the window is gone

  Step step_ = Step::startingUp;
  bool awaitingStartup_ = false;   // the start-up worker has not handed back its end
  bool awaitingDownload_ = false;  // the download worker has not handed back its end
  bool deleteWhenDownloadEnds_ = false;
  bool failed_ = false;           // a failure's page and report are under way
  bool cancelRequested_ = false;  // the user confirmed closing during the start-up or the download
  bool exitRequested_ = false;    // an exit waits for its reports
  bool exited_ = false;
  bool abandoned_ = false;  // gave up on a proxy script
  bool forgedHandBackLogged_ = false;
  int requestedExitCode_ = 0;
  int exitCode_ = 0;
  std::wstring errorAddress_;

  // Last, so that they end before the members they use: the workers first (each
  // joins its thread), then the reports, which send what is still queued, then the
  // queue the workers hand back to.
  HandBack handBack_;
  Reports reports_;
  StartupWorker startup_;
  DownloadWorker download_;
  SetupWorker setup_;
};

}  // namespace kelvra::frontend
