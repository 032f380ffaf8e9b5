// One move-only owner for every kind of Windows handle; the traits say what
// "invalid" means and how to close. Closing keeps GetLastError intact, so that a
// caller that logs the code after the guard went out of scope still sees its own.
#pragma once

#include <windows.h>

#include <utility>

namespace kelvra::base {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { reset(); }

  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  [[nodiscard]] bool valid() const { return handle_ != Traits::invalid(); }
  explicit operator bool() const { return valid(); }
  [[nodiscard]] Handle get() const { return handle_; }

  // Gives up ownership without closing.
  [[nodiscard]] Handle release() { return std::exchange(handle_, Traits::invalid()); }

  void reset(Handle handle = Traits::invalid()) {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::invalid()) {
      const DWORD lastError = GetLastError();
      Traits::close(old);
      SetLastError(lastError);
    }
  }

 private:
  Handle handle_ = Traits::invalid();
};

struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) { CloseHandle(handle); }
};

// Processes, mappings, mutexes: null means none.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { CloseHandle(handle); }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { RegCloseKey(handle); }
};

struct MappedViewTraits {
  using Handle = void*;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { UnmapViewOfFile(handle); }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { FreeLibrary(handle); }
};

// FindFirstFileW searches: closed with FindClose, not CloseHandle.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) { FindClose(handle); }
};

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

// Memory the system allocated for the caller (SIDs as text, security descriptors,
// argument lists): freed with LocalFree.
struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { LocalFree(handle); }
};

using ScopedFileHandle = ScopedHandle<FileHandleTraits>;
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedRegistryKey = ScopedHandle<RegistryKeyTraits>;
using ScopedMappedView = ScopedHandle<MappedViewTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedFont = ScopedHandle<FontTraits>;
using ScopedIcon = ScopedHandle<IconTraits>;
using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits>;

}  // namespace kelvra::base
