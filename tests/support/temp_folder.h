// A fresh folder under the temporary folder for one test, removed with its content
// when the test ends.
#pragma once

#include <string>

#include <gtest/gtest.h>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const std::wstring& path() const { return path_; }
  // path() followed by a backslash and name.
  [[nodiscard]] std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// A test with a folder of its own.
class FolderTest : public ::testing::Test {
 protected:
  TempFolder folder;
};

// Deletes a file or a folder tree; used by tests to clean up, never by the product.
void removeTree(const std::wstring& path);
