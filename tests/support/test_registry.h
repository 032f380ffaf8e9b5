// Registry setup for tests that read the real registry of the test prefix: keys
// are written under HKEY_LOCAL_MACHINE and put back as they were afterwards.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Takes a snapshot of a key under HKEY_LOCAL_MACHINE with all its values and
// subkeys, deletes it, and when destroyed replaces whatever the test left there
// with the snapshot (or with nothing, when the key did not exist).
class RegistryKeyBackup {
 public:
  explicit RegistryKeyBackup(std::wstring subKey);
  ~RegistryKeyBackup();
  RegistryKeyBackup(const RegistryKeyBackup&) = delete;
  RegistryKeyBackup& operator=(const RegistryKeyBackup&) = delete;

  struct Value {
    std::wstring name;
    DWORD type;
    std::string bytes;
  };
  struct Key {
    std::vector<Value> values;
    std::vector<std::pair<std::wstring, Key>> subKeys;
  };

 private:
  std::wstring subKey_;
  bool existed_ = false;
  Key snapshot_;
};

// One value of a key under HKEY_LOCAL_MACHINE (a key that holds more than the
// test may touch): deleted for the test, put back as it was afterwards.
class RegistryValueBackup {
 public:
  RegistryValueBackup(std::wstring subKey, std::wstring name);
  ~RegistryValueBackup();
  RegistryValueBackup(const RegistryValueBackup&) = delete;
  RegistryValueBackup& operator=(const RegistryValueBackup&) = delete;

 private:
  std::wstring subKey_;
  RegistryKeyBackup::Value saved_;
  bool existed_ = false;
};

// Writes a value under HKEY_LOCAL_MACHINE, creating the key; throws on failure.
void setRegistryBytes(const std::wstring& subKey, const std::wstring& name, DWORD type, std::string_view bytes);
// A REG_SZ with its terminating null.
void setRegistryString(const std::wstring& subKey, const std::wstring& name, const std::wstring& text);
// A REG_SZ whose data ends with the last character: no terminating null.
void setRegistryStringWithoutNull(const std::wstring& subKey, const std::wstring& name, const std::wstring& text);
void setRegistryDword(const std::wstring& subKey, const std::wstring& name, DWORD number);
// Creates the key (and its parents) without values.
void createRegistryKey(const std::wstring& subKey);
void deleteRegistryTree(const std::wstring& subKey);
// Deletes a value, if the key and it are there.
void deleteRegistryValue(const std::wstring& subKey, const std::wstring& name);
