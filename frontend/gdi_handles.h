// Owners of the window's fonts and icons.
#pragma once

#include <windows.h>

#include "driver/scoped_handle.h"

struct FontTraits {
  using Handle = HFONT;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { DeleteObject(handle); }
};

struct IconTraits {
  using Handle = HICON;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { DestroyIcon(handle); }
};

using ScopedFont = ScopedHandle<FontTraits>;
using ScopedIcon = ScopedHandle<IconTraits>;
