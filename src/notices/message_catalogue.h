// The fixed texts of the five notices in every language they cover. Platform-free.
#pragma once

#include <string_view>

namespace kelvra::notices {

enum class Notice { unsupportedWindows, netMissing, alreadyRunning, installationError, startFailure };

struct NoticeText {
  std::wstring_view title;
  std::wstring_view body;  // the start-failure body holds one "{}" for the error code
};

// The texts of a notice for a message language code. A code the notice doesn't
// cover gets English; Mexican Spanish falls back to Spain's texts first.
[[nodiscard]] NoticeText noticeText(Notice notice, int languageCode);

}  // namespace kelvra::notices
