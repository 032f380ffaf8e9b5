// Limits of the remote-configuration download. URLDownloadToFileW has none of its
// own: a server that sends an endless body, or trickles it, would keep the run
// waiting for ever while the download cache fills the disk. The time limit also
// bounds the whole download, silent servers included (bounded_download.h).
#pragma once

#include <windows.h>

#include <urlmon.h>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kelvra::remoteconfig {

// The byte limit is contract::kMaxRemoteConfigDownloadBytes (contract/document_limits.h).
inline constexpr std::chrono::seconds kMaxRemoteConfigDownloadTime{30};
// How every transfer is bound: from the server, never from or into a cache.
inline constexpr DWORD kRemoteConfigBindFlags = BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE;

// A status callback that asks past every cache (kRemoteConfigBindFlags) and aborts
// the transfer once it grows past the byte limit, lasts past the time limit or has
// been abandoned. Heap-allocated and
// reference-counted, as COM expects; the download's thread holds a reference of
// its own.
class DownloadLimit final : public IBindStatusCallback {
 public:
  static DownloadLimit* create(std::uint64_t maxBytes, std::chrono::steady_clock::duration maxTime);

  // Why the last transfer was aborted; false when it was not.
  [[nodiscard]] bool exceededBytes() const { return exceededBytes_; }
  [[nodiscard]] bool exceededTime() const { return exceededTime_; }
  [[nodiscard]] std::uint64_t bytesSeen() const { return bytesSeen_; }

  // Makes urlmon abort at its next call into the callback; from any thread.
  void abandon() { abandoned_ = true; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override;
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID id, IUnknown* object) override;

 private:
  DownloadLimit(std::uint64_t maxBytes, std::chrono::steady_clock::duration maxTime);
  ~DownloadLimit() = default;

  LONG references_ = 1;
  std::uint64_t maxBytes_;
  std::chrono::steady_clock::duration maxTime_;
  std::chrono::steady_clock::time_point start_;
  std::uint64_t bytesSeen_ = 0;
  bool exceededBytes_ = false;
  bool exceededTime_ = false;
  std::atomic<bool> abandoned_{false};
};

// Releases the one reference its owner holds.
class DownloadLimitReference {
 public:
  explicit DownloadLimitReference(DownloadLimit* limit) : limit_(limit) {}
  ~DownloadLimitReference() { limit_->Release(); }
  DownloadLimitReference(const DownloadLimitReference&) = delete;
  DownloadLimitReference& operator=(const DownloadLimitReference&) = delete;
  [[nodiscard]] DownloadLimit* get() const { return limit_; }
  DownloadLimit* operator->() const { return limit_; }

 private:
  DownloadLimit* limit_;
};

}  // namespace kelvra::remoteconfig
