// The window's texts in the user's language: the string DLLs of the culture and
// its parents, found in culture-named folders beside the executable, then the
// English table inside the executable, the way satellite resources are found.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/scoped_handle.h"

namespace kelvra::frontend {

class LocalizedStrings {
 public:
  // Loads, as data only, folder\<culture>\KelvraWebInstaller.resources.dll for
  // each culture of culture's fallback chain that has one. english is the module
  // holding the English table (the executable).
  LocalizedStrings(HMODULE english, const std::wstring& folder, std::wstring_view culture);

  // The key's text from the most specific culture that has it, else English.
  // Empty for a key that has no string (there is no "errorSpace_url").
  [[nodiscard]] std::wstring get(std::wstring_view key) const;

  // The cultures whose string DLL was loaded, most specific first.
  [[nodiscard]] const std::vector<std::wstring>& loadedCultures() const { return loadedCultures_; }

 private:
  HMODULE english_;
  std::vector<base::ScopedModule> modules_;
  std::vector<std::wstring> loadedCultures_;
};

// The name of the user's interface culture, such as "de-DE" or "es-AR"; empty
// when the system can't name it.
[[nodiscard]] std::wstring userInterfaceCulture();

}  // namespace kelvra::frontend
