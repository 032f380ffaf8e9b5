#include "support/test_registry.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"

using kelvra::base::ScopedRegistryKey;

namespace {

void check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
}

// The key opened for reading, or created with full access; invalid when that failed.
ScopedRegistryKey openKey(HKEY parent, const std::wstring& subKey, bool create) {
  HKEY key = nullptr;
  const LSTATUS status =
      create ? RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
             : RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_READ, &key);
  return ScopedRegistryKey(status == ERROR_SUCCESS ? key : nullptr);
}

RegistryKeyBackup::Key readKey(HKEY key) {
  RegistryKeyBackup::Key snapshot;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = 16384;
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::string bytes(size, '\0');
    nameLength = 16384;
    check(RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size),
          "RegEnumValueW");
    bytes.resize(size);
    snapshot.values.push_back({std::wstring(name, nameLength), type, bytes});
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring subKeyName(name, nameLength);
    const ScopedRegistryKey subKey = openKey(key, subKeyName, false);
    if (subKey) snapshot.subKeys.emplace_back(subKeyName, readKey(subKey.get()));
  }
  return snapshot;
}

void writeKey(HKEY parent, const std::wstring& subKey, const RegistryKeyBackup::Key& snapshot) {
  const ScopedRegistryKey key = openKey(parent, subKey, true);
  if (!key) throw std::runtime_error("cannot restore a registry key");
  for (const auto& value : snapshot.values) {
    check(RegSetValueExW(key.get(), value.name.c_str(), 0, value.type,
                         reinterpret_cast<const BYTE*>(value.bytes.data()), static_cast<DWORD>(value.bytes.size())),
          "RegSetValueExW");
  }
  for (const auto& [name, child] : snapshot.subKeys) writeKey(key.get(), name, child);
}

}  // namespace

RegistryKeyBackup::RegistryKeyBackup(std::wstring subKey) : subKey_(std::move(subKey)) {
  const ScopedRegistryKey key = openKey(HKEY_LOCAL_MACHINE, subKey_, false);
  existed_ = key.valid();
  if (existed_) snapshot_ = readKey(key.get());
  deleteRegistryTree(subKey_);
}

RegistryKeyBackup::~RegistryKeyBackup() {
  try {
    deleteRegistryTree(subKey_);
    if (existed_) writeKey(HKEY_LOCAL_MACHINE, subKey_, snapshot_);
  } catch (const std::exception& error) {
    ADD_FAILURE() << "registry key not restored: " << error.what();
  }
}

RegistryValueBackup::RegistryValueBackup(std::wstring subKey, std::wstring name) : subKey_(std::move(subKey)) {
  saved_.name = std::move(name);
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, subKey_.c_str(), saved_.name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &saved_.type,
                   nullptr, &size) == ERROR_SUCCESS) {
    saved_.bytes.resize(size);
    check(RegGetValueW(HKEY_LOCAL_MACHINE, subKey_.c_str(), saved_.name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                       saved_.bytes.data(), &size),
          "RegGetValueW");
    saved_.bytes.resize(size);
    existed_ = true;
  }
  deleteRegistryValue(subKey_, saved_.name);
}

RegistryValueBackup::~RegistryValueBackup() {
  try {
    deleteRegistryValue(subKey_, saved_.name);
    if (existed_) setRegistryBytes(subKey_, saved_.name, saved_.type, saved_.bytes);
  } catch (const std::exception& error) {
    ADD_FAILURE() << "registry value not restored: " << error.what();
  }
}

void setRegistryBytes(const std::wstring& subKey, const std::wstring& name, DWORD type, std::string_view bytes) {
  const ScopedRegistryKey key = openKey(HKEY_LOCAL_MACHINE, subKey, true);
  if (!key) throw std::runtime_error("cannot create a registry key");
  check(RegSetValueExW(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())),
        "RegSetValueExW");
}

void setRegistryString(const std::wstring& subKey, const std::wstring& name, const std::wstring& text) {
  setRegistryBytes(subKey, name, REG_SZ,
                   std::string_view(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t)));
}

void setRegistryStringWithoutNull(const std::wstring& subKey, const std::wstring& name, const std::wstring& text) {
  // RegSetValueExW counts a null that directly follows the data into a string
  // value ("the caller forgot it"); a character that is no null keeps it out.
  const std::wstring followed = text + L"#";
  setRegistryBytes(subKey, name, REG_SZ,
                   std::string_view(reinterpret_cast<const char*>(followed.data()), text.size() * sizeof(wchar_t)));
}

void setRegistryDword(const std::wstring& subKey, const std::wstring& name, DWORD number) {
  setRegistryBytes(subKey, name, REG_DWORD, std::string_view(reinterpret_cast<const char*>(&number), sizeof number));
}

void createRegistryKey(const std::wstring& subKey) {
  const ScopedRegistryKey key = openKey(HKEY_LOCAL_MACHINE, subKey, true);
  if (!key) throw std::runtime_error("cannot create a registry key");
}

void deleteRegistryTree(const std::wstring& subKey) {
  const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, subKey.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) check(status, "RegDeleteTreeW");
}

void deleteRegistryValue(const std::wstring& subKey, const std::wstring& name) {
  const LSTATUS status = RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, subKey.c_str(), name.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) check(status, "RegDeleteKeyValueW");
}
