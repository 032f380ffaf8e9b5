// Plays a DLL that someone left beside a program under the name of a Windows DLL.
// Once loaded it leaves a marker, "<its own path>.loaded", beside itself, and then
// refuses to stay (DllMain returns FALSE): a program that loads it fails at once
// instead of calling functions that it does not have. It exports nothing.
#include <windows.h>

#include "base/scoped_handle.h"

namespace {

constexpr wchar_t kMarkerSuffix[] = L".loaded";
constexpr DWORD kPathCapacity = 32768;

void leaveMarker(HINSTANCE self) {
  static wchar_t path[kPathCapacity];
  const DWORD length = GetModuleFileNameW(self, path, kPathCapacity);
  if (length == 0 || length + ARRAYSIZE(kMarkerSuffix) > kPathCapacity) return;
  lstrcpyW(path + length, kMarkerSuffix);
  const kelvra::base::ScopedFileHandle marker(
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  leaveMarker(self);
  return FALSE;
}
