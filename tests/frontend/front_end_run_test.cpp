// The run's rules that no window message can reach from outside: what a failure on
// the window's thread stops, and what a hand-back that throws does.
#include "run/front_end_run.h"

#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kelvra::frontend;

namespace {

// Records the pages the run shows; its message-only window carries the hand-backs.
class RecordingView final : public FrontEndView {
 public:
  explicit RecordingView(FrontEndRun& run) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = L"RecordingView";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"RecordingView", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&run));
  }
  ~RecordingView() override { DestroyWindow(window_); }

  // Runs the hand-backs until the run is no longer busy, 10 s at most.
  void waitUntilIdle() {
    for (int i = 0; i < 1000 && busy; ++i) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      Sleep(10);
    }
  }

  HWND handle() const override { return window_; }
  void showPage(Page page) override { pages.push_back(page); }
  void showBusy(bool isBusy) override { busy = isBusy; }
  void useTexts(const LocalizedStrings&, const std::wstring&) override {}
  bool showIcon(const std::wstring&, DWORD&) override { return true; }
  void appear() override {}
  void showProgress(int) override {}
  void showSizes(std::uint64_t, std::uint64_t) override {}
  void showFailure(const kelvra::frontend::core::FailurePage&) override {}
  void stepAside() override {}
  bool askToQuit() override { return true; }
  void openAddress(const std::wstring&) override {}
  void startTimer(RunTimer, unsigned) override {}
  void stopTimer(RunTimer) override {}
  void close() override {}

  std::vector<Page> pages;
  bool busy = false;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != HandBack::kMessage) return DefWindowProcW(window, message, wParam, lParam);
    reinterpret_cast<FrontEndRun*>(GetWindowLongPtrW(window, GWLP_USERDATA))->onHandBack();
    return 0;
  }

  HWND window_ = nullptr;
};

}  // namespace

TEST(FrontEndRunTest, AFailureOnTheWindowThreadDuringTheStartUpKeepsItsPageAndStartsNoDownload) {
  const TempFolder folder;
  writeFileBytes(folder / L"remoteconfig.json",
                 R"({"content": {"windows": {"downloadLink": "https://localhost:1/KelvraSetup.exe"}}})");
  FrontEndRun run(GetModuleHandleW(nullptr), folder.path(), {}, FrontEndSettings{});
  RecordingView view(run);
  run.start(view);
  ASSERT_TRUE(view.busy);
  run.fail(std::runtime_error("a failure on the window's thread"));
  view.waitUntilIdle();
  EXPECT_FALSE(view.busy);
  EXPECT_EQ(view.pages, std::vector<Page>{Page::error});
  EXPECT_FALSE(run.endWorkers());
}

TEST(FrontEndRunTest, AHandBackThatThrowsIsAFailureAndTheNextOnesStillRun) {
  HandBack handBack;
  const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  handBack.attach(window);
  std::vector<std::string> seen;
  handBack.post([] { throw std::runtime_error("thrown"); });
  handBack.post([&seen] { seen.push_back("ran"); });
  EXPECT_TRUE(handBack.runPending([&seen](const std::exception& error) { seen.push_back(error.what()); }));
  EXPECT_EQ(seen, (std::vector<std::string>{"thrown", "ran"}));
  // A wake-up that finds nothing is told apart: nothing here posted it.
  EXPECT_FALSE(handBack.runPending([](const std::exception&) {}));
  DestroyWindow(window);
}
