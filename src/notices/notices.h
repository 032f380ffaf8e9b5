// The five modal notices, the bootstrapper's only window. They never write to the
// log: some are shown before the log exists.
#pragma once

#include <cstdint>
#include <string>

namespace kelvra::notices {

// The message language code for the user's UI language, chosen anew on each call.
[[nodiscard]] int chooseMessageLanguage();

// A modal warning box with one OK button and no owner; returns MessageBoxW's result.
int showWarningBox(const std::wstring& body, const std::wstring& title);

void showUnsupportedWindowsNotice();
void showNetMissingNotice();
void showAlreadyRunningNotice();
void showInstallationErrorNotice();
// errorCode is GetLastError's value; it is shown as a signed decimal number.
void showStartFailureNotice(std::uint32_t errorCode);

}  // namespace kelvra::notices
