// The window's life: creation, the window procedure, hand-over of work from other
// threads, and the way out with an exit code.
#include "window/window.h"

#include <commctrl.h>

#include "window/dpi.h"
#include "base/utf8.h"
#include "platform/file_reading.h"
#include "platform/frontend_error.h"
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
  const auto initCommonControls = reinterpret_cast<InitFunction>(
      reinterpret_cast<void*>(GetProcAddress(commonControls, "InitCommonControlsEx")));
  if (initCommonControls == nullptr) return false;
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LINK_CLASS;
  initCommonControls(&controls);
  return true;
}

Window::Window(HINSTANCE instance, std::vector<std::wstring> arguments, FrontEndSettings settings, int showCommand)
    : instance_(instance),
      arguments_(std::move(arguments)),
      settings_(std::move(settings)),
      showCommand_(showCommand),
      folder_(executableFolder()),
      logger_(arguments_.size() == 2 ? arguments_[0] : std::wstring()),
      strings_(std::make_unique<LocalizedStrings>(instance, folder_, std::wstring_view())),
      windowThread_(GetCurrentThreadId()),
      reports_(settings_, state_, logger_, windowThread_, [this] { return startup_.exchangesOfThisThread(); }),
      startup_(folder_, settings_, state_, logger_, reports_,
               {[this] { runOnWindowThread([this] { startSizeTimer(); }); },
                [this](const std::exception& error) { onError(error); }}),
      download_(folder_, settings_.network, logger_,
                {[this](int percent) {
                   runOnWindowThread([this, percent] {
                     if (!download_.cancelled()) {
                       SendMessageW(progressBarDownload_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
                     }
                   });
                 },
                 [this](const std::exception& error) { onError(error); },
                 [this] { runOnWindowThread([this] { onDownloadEnded(); }); }}),
      setup_(folder_, state_, logger_, reports_,
             {[this](int code) { runOnWindowThread([this, code] { onSetupFinished(code); }); },
              [this](const std::exception& error) { onError(error); }}) {
  if (!enableVisualStyles()) {
    logger_.log(L"Could not load comctl32.dll. Error code " + std::to_wstring(GetLastError()) + L".", base::LogLevel::error);
    return;
  }
  if (!registerWindowClasses() || !createMainWindow()) {
    logger_.log(L"Could not create the window. Error code " + std::to_wstring(GetLastError()) + L".", base::LogLevel::error);
    return;
  }
  createFonts();
  createControls();
  layoutControls();
  selectPage(Page::init);
  setupGuiElements();
}

// The parts' destructors end their workers first (they use the window's
// members); a start-up worker that is still busy is sending the report of its
// failure, which goes out whole.
Window::~Window() {
  if (window_ != nullptr && !destroyed_) DestroyWindow(window_);
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
  window_ = CreateWindowExW(kWindowExStyle, kWindowClassName, strings_->get(L"zavKelvra").c_str(), kWindowStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_,
                            this);
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
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  // An exception must not unwind through the system's frames that called us: it
  // ends in the error handling like any other failure.
  try {
    return self->handleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    self->onError(error);
    return 0;
  }
}

// Pages only hold controls: what their controls tell them goes to the window.
LRESULT CALLBACK Window::pageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetParent(page), message, wParam, lParam);
    default:
      return DefWindowProcW(page, message, wParam, lParam);
  }
}

LRESULT Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunTasksMessage:
      runPendingTasks();
      return 0;
    case kStartupFinishedMessage:
      onStartupFinished(wParam != 0);
      return 0;
    case kExitMessage:
      finishExit(static_cast<int>(wParam));
      return 0;
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == idLinkLabelError && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        openErrorLink();
      }
      return 0;
    }
    case WM_TIMER:
      if (wParam == kSizeTimerId) updateSizeLabel();
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_DPICHANGED:
      onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      if (!keepOpenOnClose()) DestroyWindow(window_);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) onDeactivate();
      return DefWindowProcW(window_, message, wParam, lParam);
    case WM_DESTROY:
      destroyed_ = true;
      KillTimer(window_, kSizeTimerId);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

void Window::onCommand(int id, int notification) {
  if (id == idButtonErrorExit && notification == BN_CLICKED) exitApplication(-1);
}

void Window::runOnWindowThread(std::function<void()> task) {
  if (onWindowThread()) {
    if (!destroyed_) task();
    return;
  }
  {
    std::lock_guard lock(tasksMutex_);
    tasks_.push_back(std::move(task));
  }
  // Fails only once the window is gone, and then the task has nothing left to do.
  PostMessageW(window_, kRunTasksMessage, 0, 0);
}

void Window::runPendingTasks() {
  std::deque<std::function<void()>> tasks;
  {
    std::lock_guard lock(tasksMutex_);
    tasks.swap(tasks_);
  }
  for (auto& task : tasks) {
    if (destroyed_) return;
    task();
  }
}

void Window::onError(const std::exception& error) {
  if (const auto* frontEndError = dynamic_cast<const FrontEndError*>(&error)) {
    handleError(frontEndError->kind(), frontEndError->windowsError(), frontEndError->message(),
                frontEndError->downloadTries());
  } else {
    handleError(core::FailureKind::unexpected, 0, base::fromUtf8(error.what()));
  }
}

// A report or event that the window's thread handed to the report worker goes out
// before the exit, as it did when the window's thread sent it itself.
void Window::exitApplication(int code) {
  if (exitRequested_) return;
  exitRequested_ = true;
  if (reports_.idle()) {
    finishExit(code);
    return;
  }
  reports_.afterPending([this, code] { PostMessageW(window_, kExitMessage, static_cast<WPARAM>(code), 0); });
}

void Window::finishExit(int code) {
  logger_.log(L"Exiting application with return code " + std::to_wstring(code), base::LogLevel::info);
  logger_.log(L"Running cleanup.", base::LogLevel::info);
  KillTimer(window_, kSizeTimerId);
  if (download_.cancelled()) cancelDownload();
  download_.stop();
  exitCode_ = code;
  exiting_ = true;
  if (!destroyed_) DestroyWindow(window_);
}

}  // namespace kelvra::frontend
