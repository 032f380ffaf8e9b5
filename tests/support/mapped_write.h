// One table of cases for a whole file written through a file mapping (writeMappedFile,
// and the inflating write), against what else may be at or around its path.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "support/file_contents.h"
#include "support/test_log.h"

struct MappedWriteCase {
  const char* name;
  std::uint32_t size;
  enum Setup { nothing, longerFile, fileHeldOpen, missingFolder } setup;
  bool fails;
  const char* logged;  // message start, before the path; null when nothing is logged
  DWORD errorCode;
  std::int64_t sizeAfter;  // -1: no file
};

inline const MappedWriteCase kMappedWriteCases[] = {
    {"NewFile", 70000, MappedWriteCase::nothing, false, nullptr, 0, 70000},
    {"LongerOldFileIsCutToTheNewSize", 1234, MappedWriteCase::longerFile, false, nullptr, 0, 1234},
    {"OneByte", 1, MappedWriteCase::nothing, false, nullptr, 0, 1},
    {"ZeroBytesFailAtTheMappingAndLeaveAnEmptyFile", 0, MappedWriteCase::nothing, true,
     "[error] Failed to create file mapping for file", ERROR_FILE_INVALID, 0},
    {"FileHeldOpenElsewhereIsASharingViolation", 10, MappedWriteCase::fileHeldOpen, true,
     "[error] Failed to create file", ERROR_SHARING_VIOLATION, 0},
    {"MissingFolderIsNotCreated", 10, MappedWriteCase::missingFolder, true, "[error] Failed to create file",
     ERROR_PATH_NOT_FOUND, -1},
};

inline std::string mappedWriteCaseName(const ::testing::TestParamInfo<MappedWriteCase>& info) {
  return info.param.name;
}

// Runs the case in folder: write(path, data) is the write under test, true when it
// failed; what it returned, logged and left at path must be what the case says.
inline void checkMappedWrite(const MappedWriteCase& test, const TempFolder& folder, const TestLog& log,
                             const std::function<bool(const std::wstring&, const std::string&)>& write) {
  std::wstring path = folder / L"KelvraInstaller.exe";
  kelvra::base::ScopedFileHandle holder;
  switch (test.setup) {
    case MappedWriteCase::nothing: break;
    case MappedWriteCase::longerFile: writeFileBytes(path, std::string(100000, 'o')); break;
    case MappedWriteCase::fileHeldOpen:
      // Shares everything, yet the write, which shares nothing, must be refused.
      holder.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(holder);
      break;
    case MappedWriteCase::missingFolder: path = folder / L"de\\KelvraWebInstaller.resources.dll"; break;
  }
  std::string data(test.size, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 1);
  EXPECT_EQ(write(path, data), test.fails);
  holder.reset();

  if (test.logged == nullptr) {
    EXPECT_TRUE(log.messages().empty());
  } else {
    EXPECT_EQ(log.messages(), std::vector<std::string>{std::string(test.logged) + " [" + kelvra::base::toUtf8(path) +
                                                       "]. Error code " + std::to_string(test.errorCode) + "."});
  }
  if (test.sizeAfter < 0) {
    EXPECT_FALSE(fileExists(path));
  } else {
    ASSERT_TRUE(fileExists(path));
    const std::string after = readFileBytes(path);
    EXPECT_EQ(static_cast<std::int64_t>(after.size()), test.sizeAfter);
    if (!test.fails) {
      EXPECT_EQ(after, data);
    }
  }
}
