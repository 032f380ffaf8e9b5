#include "platform/localized_strings.h"

#include "contract/handoff_files.h"
#include "core/culture.h"
#include "frontend_strings.h"

namespace kelvra::frontend {

namespace {

unsigned findStringId(std::wstring_view key) {
  for (const FrontEndStringKey& entry : kFrontEndStringKeys) {
    if (key == entry.key) return entry.id;
  }
  return 0;
}

// The string's text, or nothing when the module has none under that id.
bool tryLoadString(HMODULE module, unsigned id, std::wstring& text) {
  const wchar_t* resource = nullptr;
  // A length of 0 asks for a pointer into the resource itself, which is not
  // terminated; the return value is its length.
  const int length = LoadStringW(module, id, reinterpret_cast<wchar_t*>(&resource), 0);
  if (length <= 0) return false;
  text.assign(resource, static_cast<std::size_t>(length));
  return true;
}

}  // namespace

LocalizedStrings::LocalizedStrings(HMODULE english, const std::wstring& folder, std::wstring_view culture)
    : english_(english) {
  for (const std::wstring& name : core::cultureFallbackChain(culture)) {
    const std::wstring path = folder + L"\\" + name + contract::kTranslationFileName;
    // As data only: nothing in the DLL runs, and it needs no matching architecture.
    base::ScopedModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) continue;
    modules_.push_back(std::move(module));
    loadedCultures_.push_back(name);
  }
}

std::wstring LocalizedStrings::get(std::wstring_view key) const {
  const unsigned id = findStringId(key);
  std::wstring text;
  if (id == 0) return text;
  for (const base::ScopedModule& module : modules_) {
    if (tryLoadString(module.get(), id, text)) return text;
  }
  if (!tryLoadString(english_, id, text)) text.clear();
  return text;
}

std::wstring userInterfaceCulture() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  const LANGID language = GetUserDefaultUILanguage();
  if (LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) == 0) return {};
  return name;
}

}  // namespace kelvra::frontend
