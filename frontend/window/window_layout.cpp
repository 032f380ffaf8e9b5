// The pages and their controls: creation, fonts, placement at the window's DPI,
// and which page shows.
#include "window/window_layout.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "window/accessibility.h"
#include "window/dpi.h"
#include "window/window.h"
#include "window/window_ids.h"

namespace kelvra::frontend {

namespace {

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;

// Height of text in font when wrapped at width; at least one line.
int textHeight(HFONT font, const std::wstring& text, int width) {
  HDC dc = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, font);
  RECT rect = {0, 0, width, 0};
  const std::wstring measured = text.empty() ? L"X" : text;
  DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &rect,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return rect.bottom - rect.top;
}

int textWidth(HFONT font, const std::wstring& text) {
  HDC dc = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

// The link's text without its markup: "<a>" and "</a>" around the visible text.
std::wstring linkText(HWND link) {
  std::wstring text = windowText(link);
  std::wstring plain;
  bool inTag = false;
  for (const wchar_t c : text) {
    if (c == L'<') inTag = true;
    if (!inTag) plain += c;
    if (c == L'>') inTag = false;
  }
  return plain;
}

void place(HWND control, int x, int y, int width, int height) {
  SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void Window::createControls() {
  for (const PageEntry& entry : kPages) {
    // WS_EX_CONTROLPARENT lets the dialog keys (Tab, Enter) reach the page's controls.
    // No text: a screen reader would read it out; the driver finds a page by its id.
    pages_[static_cast<int>(entry.page)] =
        CreateWindowExW(WS_EX_CONTROLPARENT, kPageClassName, L"", WS_CHILD, 0, 0, 0, 0, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.control.id)), instance_, nullptr);
  }
  auto control = [this](Page page, const wchar_t* className, DWORD style, int id) {
    return CreateWindowExW(0, className, L"", style, 0, 0, 0, 0, pages_[static_cast<int>(page)],
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  };
  labelWelcome_ = control(Page::init, WC_STATICW, kLabelStyle, idLabelWelcome);
  // Moves on its own while the configuration is read (PBM_SETMARQUEE): the window
  // is busy, not stuck.
  progressBarInit_ = control(Page::init, PROGRESS_CLASSW, WS_CHILD | WS_VISIBLE | PBS_MARQUEE, idProgressBarInit);
  labelDownloadSize_ = control(Page::download, WC_STATICW, kLabelStyle, idLabelDownloadSize);
  progressBarDownload_ =
      control(Page::download, PROGRESS_CLASSW, WS_CHILD | WS_VISIBLE | PBS_SMOOTH, idProgressBarDownload);
  SendMessageW(progressBarDownload_, PBM_SETRANGE32, 0, 100);
  labelStatistics_ = control(Page::download, WC_STATICW, kLabelStyle, idLabelStatistics);
  labelWaitEnd_ = control(Page::done, WC_STATICW, kLabelStyle, idLabelWaitEnd);
  labelError_ = control(Page::error, WC_STATICW, kLabelStyle, idLabelError);
  linkLabelError_ = control(Page::error, WC_LINK, WS_CHILD | WS_TABSTOP, idLinkLabelError);
  buttonErrorExit_ =
      control(Page::error, WC_BUTTONW, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, idButtonErrorExit);
  // Where the focus lands when a page shows: the control that tells what the page is about.
  mainControls_[static_cast<int>(Page::init)] = progressBarInit_;
  mainControls_[static_cast<int>(Page::download)] = progressBarDownload_;
  mainControls_[static_cast<int>(Page::done)] = labelWaitEnd_;
  mainControls_[static_cast<int>(Page::error)] = buttonErrorExit_;
  applyFonts(false);
}

void Window::createFonts() {
  LOGFONTW message = messageFontForDpi(dpi_);
  font_.reset(CreateFontIndirectW(&message));
  LOGFONTW heading = message;
  heading.lfHeight = MulDiv(message.lfHeight, 13, 10);
  headingFont_.reset(CreateFontIndirectW(&heading));
}

void Window::applyFonts(bool redraw) {
  const HWND controls[] = {labelDownloadSize_, progressBarDownload_, progressBarInit_, labelStatistics_,
                           labelError_,        linkLabelError_,      buttonErrorExit_};
  for (HWND each : controls) SendMessageW(each, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), redraw);
  // The page's lead line stands out a little.
  SendMessageW(labelWelcome_, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont_.get()), redraw);
  SendMessageW(labelWaitEnd_, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont_.get()), redraw);
}

void Window::layoutControls() {
  auto s = [this](int value) { return scaleForDpi(value, dpi_); };
  const int width = s(kClientWidth);
  const int height = s(kClientHeight);
  const int margin = s(kMargin);
  const int contentWidth = width - 2 * margin;
  for (HWND page : pages_) place(page, 0, 0, width, height);

  // Lead lines sit a little above the middle, where the eye starts.
  for (HWND lead : {labelWelcome_, labelWaitEnd_}) {
    const int leadHeight = textHeight(headingFont_.get(), windowText(lead), contentWidth);
    place(lead, margin, std::max(margin, (height - leadHeight) / 2 - s(kGap)), contentWidth, leadHeight);
  }
  RECT welcome = {};
  GetWindowRect(labelWelcome_, &welcome);
  MapWindowPoints(nullptr, pages_[static_cast<int>(Page::init)], reinterpret_cast<POINT*>(&welcome), 2);
  place(progressBarInit_, margin, static_cast<int>(welcome.bottom) + s(kGap), contentWidth, s(kProgressHeight));

  const int line = textHeight(font_.get(), L"", contentWidth);
  const int sizeHeight = std::max(line, textHeight(font_.get(), windowText(labelDownloadSize_), contentWidth));
  const int block = sizeHeight + s(kGap) / 2 + s(kProgressHeight) + s(kGap) / 2 + line;
  int y = std::max(margin, (height - block) / 2 - s(kGap));
  place(labelDownloadSize_, margin, y, contentWidth, sizeHeight);
  y += sizeHeight + s(kGap) / 2;
  place(progressBarDownload_, margin, y, contentWidth, s(kProgressHeight));
  y += s(kProgressHeight) + s(kGap) / 2;
  place(labelStatistics_, margin, y, contentWidth, line);

  const int buttonTop = height - margin - s(kButtonHeight);
  place(buttonErrorExit_, width - margin - s(kButtonWidth), buttonTop, s(kButtonWidth), s(kButtonHeight));
  const int errorRoom = buttonTop - s(kGap) - line - s(kGap) - margin;
  const int errorHeight = std::min(errorRoom, textHeight(font_.get(), windowText(labelError_), contentWidth));
  place(labelError_, margin, margin, contentWidth, errorHeight);
  placeErrorLink();
}

// At the error label's right edge, below its text, so that it never covers the message.
void Window::placeErrorLink() {
  RECT label = {};
  GetWindowRect(labelError_, &label);
  MapWindowPoints(nullptr, pages_[static_cast<int>(Page::error)], reinterpret_cast<POINT*>(&label), 2);
  const int linkWidth = textWidth(font_.get(), linkText(linkLabelError_)) + scaleForDpi(2, dpi_);
  const int linkHeight = textHeight(font_.get(), L"", linkWidth);
  const int left = static_cast<int>(label.left);
  const int x = left + (label.right - label.left) - linkWidth - scaleForDpi(kLinkInset, dpi_);
  place(linkLabelError_, std::max(left, x), static_cast<int>(label.bottom) + scaleForDpi(kGap, dpi_), linkWidth,
        linkHeight);
}

void Window::showPage(Page page) {
  for (const PageEntry& entry : kPages) {
    ShowWindow(pages_[static_cast<int>(entry.page)], entry.page == page ? SW_SHOW : SW_HIDE);
  }
  shownPage_ = page;
  focusOnPage(window_, mainControls_[static_cast<int>(page)]);
  if (page == Page::error) ShowWindow(window_, SW_RESTORE);
  // The done page shows at once, before the setup's checks keep the disk busy.
  if (page == Page::done) RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Window::setControlText(HWND control, const std::wstring& text) { (void)showText(control, text); }

bool Window::showIcon(const std::wstring& path, DWORD& error) {
  const int bigSize = systemMetricForDpi(SM_CXICON, dpi_);
  const int smallSize = systemMetricForDpi(SM_CXSMICON, dpi_);
  base::ScopedIcon big(
      static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, bigSize, bigSize, LR_LOADFROMFILE)));
  if (!big) {
    error = GetLastError();
    return false;
  }
  base::ScopedIcon small(
      static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, smallSize, smallSize, LR_LOADFROMFILE)));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small.get() : big.get()));
  // The old icons are released only now that the window has new ones.
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
  iconPath_ = path;
  return true;
}

void Window::onDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  // The controls let go of the old fonts before they are deleted.
  const base::ScopedFont oldFont = std::move(font_);
  const base::ScopedFont oldHeadingFont = std::move(headingFont_);
  createFonts();
  applyFonts(true);
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  layoutControls();
  DWORD ignored = 0;
  if (!iconPath_.empty()) (void)showIcon(iconPath_, ignored);
}

}  // namespace kelvra::frontend
