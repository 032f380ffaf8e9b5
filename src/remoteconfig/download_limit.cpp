#include "remoteconfig/download_limit.h"

namespace kelvra::remoteconfig {

DownloadLimit* DownloadLimit::create(std::uint64_t maxBytes, std::chrono::steady_clock::duration maxTime) {
  return new DownloadLimit(maxBytes, maxTime);
}

DownloadLimit::DownloadLimit(std::uint64_t maxBytes, std::chrono::steady_clock::duration maxTime)
    : maxBytes_(maxBytes), maxTime_(maxTime), start_(std::chrono::steady_clock::now()) {}

HRESULT DownloadLimit::QueryInterface(REFIID id, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IBindStatusCallback)) {
    *object = static_cast<IBindStatusCallback*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DownloadLimit::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG DownloadLimit::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT DownloadLimit::OnProgress(ULONG progress, ULONG, ULONG, LPCWSTR) {
  // Progress is reported as the body arrives; returning E_ABORT ends the transfer.
  bytesSeen_ = progress;
  exceededBytes_ = progress > maxBytes_;
  exceededTime_ = std::chrono::steady_clock::now() - start_ > maxTime_;
  return exceededBytes_ || exceededTime_ || abandoned_ ? E_ABORT : S_OK;
}

HRESULT DownloadLimit::OnStartBinding(DWORD, IBinding*) { return S_OK; }
HRESULT DownloadLimit::GetPriority(LONG*) { return E_NOTIMPL; }
HRESULT DownloadLimit::OnLowResource(DWORD) { return S_OK; }
HRESULT DownloadLimit::OnStopBinding(HRESULT, LPCWSTR) { return S_OK; }
// Leaves urlmon's own choices as they are; a failure here makes Wine drop the
// cache file that the download is copied from.
// Past every cache: a copy of yesterday's document would name yesterday's setup and
// digest, and a stored one could be read by anyone with the cache.
HRESULT DownloadLimit::GetBindInfo(DWORD* flags, BINDINFO*) {
  if (flags == nullptr) return E_INVALIDARG;
  *flags |= kRemoteConfigBindFlags;
  return S_OK;
}
HRESULT DownloadLimit::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return S_OK; }
HRESULT DownloadLimit::OnObjectAvailable(REFIID, IUnknown*) { return S_OK; }

}  // namespace kelvra::remoteconfig
