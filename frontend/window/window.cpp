// The window's life (creation, the window procedure, which passes each message on
// to the run) and what it shows of the run.
#include "window/window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "core/composite_format.h"
#include "core/download_statistics.h"
#include "run/front_end_run.h"
#include "window/accessibility.h"
#include "window/dpi.h"
#include "window/window_ids.h"
#include "window/window_layout.h"

namespace kelvra::frontend {

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW;

Window* windowOf(HWND window) { return reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

}  // namespace

// Common controls 6 (the manifest asks for them) draw with the system's visual
// style. comctl32 is loaded here rather than imported, so that its own imports too
// are looked for after the start-up call, in System32 only. By name, not from
// System32, which holds version 5: the manifest's dependency takes the name to
// version 6 in the side-by-side store. Kept loaded for the window's controls.
bool Window::enableVisualStyles() {
  const HMODULE commonControls = LoadLibraryW(L"comctl32.dll");
  if (commonControls == nullptr) return false;
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initCommonControls =
      reinterpret_cast<InitFunction>(reinterpret_cast<void*>(GetProcAddress(commonControls, "InitCommonControlsEx")));
  if (initCommonControls == nullptr) return false;
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LINK_CLASS;
  initCommonControls(&controls);
  return true;
}

Window::Window(HINSTANCE instance, FrontEndRun& run, int showCommand)
    : instance_(instance), run_(run), showCommand_(showCommand), texts_(&run.texts()) {
  if (!enableVisualStyles()) {
    run_.logger().log(L"Could not load comctl32.dll. Error code " + std::to_wstring(GetLastError()) + L".",
                      base::LogLevel::error);
    return;
  }
  if (!registerWindowClasses() || !createMainWindow()) {
    run_.logger().log(L"Could not create the window. Error code " + std::to_wstring(GetLastError()) + L".",
                      base::LogLevel::error);
    return;
  }
  createFonts();
  createControls();
  layoutControls();
  showFocusCues(window_);
  showPage(Page::init);
}

Window::~Window() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool Window::registerWindowClasses() const {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance_;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClassName;
  if (RegisterClassExW(&windowClass) == 0) return false;

  WNDCLASSEXW pageClass = windowClass;
  pageClass.lpfnWndProc = pageProcedure;
  pageClass.lpszClassName = kPageClassName;
  return RegisterClassExW(&pageClass) != 0;
}

bool Window::createMainWindow() {
  window_ =
      CreateWindowExW(kWindowExStyle, kWindowClassName, texts_->get(L"zavKelvra").c_str(), kWindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
  if (window_ == nullptr) return false;
  dpi_ = dpiOfWindow(window_);
  const RECT frame = windowRectForClient(scaleForDpi(kClientWidth, dpi_), scaleForDpi(kClientHeight, dpi_),
                                         kWindowStyle, kWindowExStyle, dpi_);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

LRESULT CALLBACK Window::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  Window* self = windowOf(window);
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
  }
  // An exception must not unwind through the system's frames that called us: it
  // ends in the error handling like any other failure.
  try {
    return self->handleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    self->run_.fail(error);
    return 0;
  }
}

// Pages only hold controls: what their controls tell them goes to the window.
LRESULT CALLBACK Window::pageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return SendMessageW(GetParent(page), message, wParam, lParam);
    default: return DefWindowProcW(page, message, wParam, lParam);
  }
}

LRESULT Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case HandBack::kMessage: run_.onHandBack(); return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == idButtonErrorExit && HIWORD(wParam) == BN_CLICKED) run_.onExitChosen();
      // Esc, which the dialog keys turn into IDCANCEL.
      if (LOWORD(wParam) == IDCANCEL && run_.onEscapePressed()) close();
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == idLinkLabelError && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        run_.onLinkChosen();
      }
      return 0;
    }
    case WM_TIMER:
      if (wParam == static_cast<WPARAM>(RunTimer::sizeLabel) || wParam == static_cast<WPARAM>(RunTimer::endWatch)) {
        run_.onTimer(static_cast<RunTimer>(wParam));
      }
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_DPICHANGED: onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_CLOSE:
      if (run_.onCloseAsked()) close();
      return 0;
    case WM_ACTIVATE: {
      if (LOWORD(wParam) == WA_INACTIVE) run_.onWindowDeactivated();
      const LRESULT result = DefWindowProcW(window_, message, wParam, lParam);
      // Back on the page's control, not on the window, which no screen reader can name.
      if (LOWORD(wParam) != WA_INACTIVE) focusOnPage(window_, mainControls_[static_cast<int>(shownPage_)]);
      return result;
    }
    case WM_DESTROY:
      for (const RunTimer timer : {RunTimer::sizeLabel, RunTimer::endWatch}) stopTimer(timer);
      run_.onWindowGone();
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(window_, message, wParam, lParam);
  }
}

// ---- What the run shows ----

void Window::useTexts(const LocalizedStrings& texts, const std::wstring& title) {
  texts_ = &texts;
  SetWindowTextW(window_, title.c_str());
  setControlText(labelWelcome_, texts_->get(L"labelWelcome"));
  nameControl(progressBarInit_, texts_->get(L"labelWelcome"));
  setControlText(labelWaitEnd_, texts_->get(L"labelWaitEnd"));
  setControlText(buttonErrorExit_, texts_->get(L"buttonErrorExit"));
  setControlText(labelDownloadSize_, L"");
  setControlText(labelStatistics_, L"");
  layoutControls();
}

void Window::appear() {
  ShowWindow(window_, showCommand_);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
}

void Window::showBusy(bool busy) {
  constexpr UINT kMarqueeIntervalMs = 30;
  SendMessageW(progressBarInit_, PBM_SETMARQUEE, busy ? TRUE : FALSE, kMarqueeIntervalMs);
}

void Window::showProgress(int percent) {
  const LRESULT previous = SendMessageW(progressBarDownload_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  if (previous != percent) announceValueChange(progressBarDownload_);
}

void Window::showSizes(std::uint64_t received, std::uint64_t total) {
  const std::wstring text =
      core::formatComposite(texts_->get(L"labelDownloadSize"),
                            {std::to_wstring(core::DownloadStatistics::megabytes(received)),
                             std::to_wstring(core::DownloadStatistics::megabytes(total)), texts_->get(L"size")});
  setControlText(labelDownloadSize_, text);
  nameControl(progressBarDownload_, text);
}

void Window::showFailure(const core::FailurePage& page) {
  setControlText(labelError_, texts_->get(page.textKey));
  const std::wstring link = page.linkKey.empty() ? std::wstring() : texts_->get(page.linkKey);
  // The link's text is markup: angle brackets of a translation must not open tags.
  std::wstring visible;
  for (const wchar_t c : link) {
    if (c != L'<' && c != L'>') visible += c;
  }
  setControlText(linkLabelError_, L"<a>" + visible + L"</a>");
  nameLink(linkLabelError_, visible);
  ShowWindow(linkLabelError_, visible.empty() ? SW_HIDE : SW_SHOW);
  layoutControls();
}

// Minimising deactivates the window once more: the second call finds it out of the way.
void Window::stepAside() {
  if (IsIconic(window_) || !IsWindowVisible(window_)) return;
  ShowWindow(window_, SW_MINIMIZE);
  ShowWindow(window_, SW_HIDE);
}

bool Window::askToQuit() {
  return MessageBoxW(window_, texts_->get(L"exitMsgQuestion").c_str(), texts_->get(L"exitMsgTitle").c_str(),
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void Window::openAddress(const std::wstring& address) {
  ShellExecuteW(window_, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Window::startTimer(RunTimer timer, unsigned milliseconds) {
  SetTimer(window_, static_cast<UINT_PTR>(timer), milliseconds, nullptr);
}

void Window::stopTimer(RunTimer timer) { KillTimer(window_, static_cast<UINT_PTR>(timer)); }

void Window::close() {
  if (window_ != nullptr) DestroyWindow(window_);
}

}  // namespace kelvra::frontend
