#include "notices/notices.h"

#include <windows.h>

#include <fmt/format.h>

#include "base/utf8.h"
#include "notices/message_catalogue.h"
#include "notices/message_language.h"

namespace kelvra::notices {

namespace {

void showNotice(Notice notice) {
  const NoticeText text = noticeText(notice, chooseMessageLanguage());
  showWarningBox(std::wstring(text.body), std::wstring(text.title));
}

}  // namespace

int chooseMessageLanguage() { return messageLanguageForLangId(GetUserDefaultUILanguage()); }

int showWarningBox(const std::wstring& body, const std::wstring& title) {
  return MessageBoxW(nullptr, body.c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
}

void showUnsupportedWindowsNotice() { showNotice(Notice::unsupportedWindows); }
void showNetMissingNotice() { showNotice(Notice::netMissing); }
void showAlreadyRunningNotice() { showNotice(Notice::alreadyRunning); }
void showInstallationErrorNotice() { showNotice(Notice::installationError); }

void showStartFailureNotice(std::uint32_t errorCode) {
  const NoticeText text = noticeText(Notice::startFailure, chooseMessageLanguage());
  // Formatted as UTF-8, like the log: the exe carries no wide formatting code.
  const std::wstring body = base::fromUtf8(
      fmt::vformat(base::toUtf8(text.body), fmt::make_format_args(static_cast<std::int32_t>(errorCode))));
  showWarningBox(body, std::wstring(text.title));
}

}  // namespace kelvra::notices
