// Staging with the bootstrapper's real payload, linked into this test exe: what
// lands in the working folder, what the log says, and whether the staged front
// end and icon work.
#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "base/log_location.h"
#include "base/utf8.h"
#include "staging/front_end_files.h"
#include "base/mapped_file.h"
#include "staging/inflated_file.h"
#include "staging/payload.h"
#include "staging/resource_extractor.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"
#include "support/test_log.h"

using namespace kelvra::base;
using namespace kelvra::staging;

namespace {

// Read straight from the exe, not through the code under test.
std::string resourceBytes(std::uint16_t id, std::uint16_t type) {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (info == nullptr) return {};
  const auto* data = static_cast<const char*>(LockResource(LoadResource(nullptr, info)));
  return std::string(data, SizeofResource(nullptr, info));
}

bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A packed payload resource's bytes, as the build packs it.
std::string packed(const std::string& content) {
  uLongf streamSize = compressBound(static_cast<uLong>(content.size()));
  std::string stream(streamSize, '\0');
  compress2(reinterpret_cast<Bytef*>(stream.data()), &streamSize, reinterpret_cast<const Bytef*>(content.data()),
            static_cast<uLong>(content.size()), 9);
  stream.resize(streamSize);
  std::string header = "KZ01";
  for (int i = 0; i < 4; ++i) header.push_back(static_cast<char>(content.size() >> (8 * i)));
  return header + stream;
}

// The stored resource is packed: smaller than what it stages, and not it.
void expectPackedResourceOf(std::uint16_t id, const std::string& staged) {
  const std::string stored = resourceBytes(id, kRawDataResourceType);
  EXPECT_EQ(stored.substr(0, 4), "KZ01");
  EXPECT_LT(stored.size(), staged.size());
}

std::uint32_t readDoubleWord(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

std::string dumpingLine(const std::wstring& workingFolder, const wchar_t* culture) {
  return "[info] Dumping translation file of language [" + toUtf8(culture) + "], path [" +
         toUtf8(workingFolder + L"\\" + culture + L"\\KelvraWebInstaller.resources.dll") + "]";
}

struct WindowSearch {
  DWORD processId;
  HWND window;
};

BOOL CALLBACK findFrontEndWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t title[128] = {};
  GetWindowTextW(window, title, 128);
  if (owner != search->processId || !IsWindowVisible(window) || std::wstring(title) != L"ZAV Kelvra Web Installer") {
    return TRUE;
  }
  search->window = window;
  return FALSE;
}

struct CloseQuestion {
  HWND owner;
  bool found;
};

// Answers No to the question a front end asks when it is closed while it starts
// up; found tells whether there was one.
BOOL CALLBACK declineCloseQuestion(HWND candidate, LPARAM context) {
  auto* question = reinterpret_cast<CloseQuestion*>(context);
  wchar_t className[16] = {};
  GetClassNameW(candidate, className, 16);
  if (!IsWindowVisible(candidate) || std::wstring(className) != L"#32770" ||
      GetWindow(candidate, GW_OWNER) != question->owner) {
    return TRUE;
  }
  PostMessageW(candidate, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
  question->found = true;
  return FALSE;
}

// Closes the front end once it has settled on a page: a close while it still
// starts up is asked about, declined here, and tried again.
bool closeWhenSettled(HWND frontEnd, HANDLE process) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    CloseQuestion question{frontEnd, false};
    EnumWindows(declineCloseQuestion, reinterpret_cast<LPARAM>(&question));
    if (question.found) {
      Sleep(300);
      continue;
    }
    PostMessageW(frontEnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, 500) == WAIT_OBJECT_0) return true;
  }
  return false;
}

class StagingTest : public ::testing::Test {
 protected:
  TempFolder folder;
  TestLog log{folder};
  ResourceExtractor extractor{log.logger()};
  std::wstring working = folder / L"KelvraInstaller_abcde";

  void SetUp() override { ASSERT_TRUE(CreateDirectoryW(working.c_str(), nullptr)); }

  // Every staging step in the driver's order; true on failure.
  bool stage(std::wstring& frontEndPath) {
    LoadedResource frontEnd;
    LoadedResource image;
    return extractor.loadResource(frontEnd, kFrontEndResourceId, kRawDataResourceType) ||
           extractor.loadResource(image, kImageResourceId, kRawDataResourceType) ||
           writeFrontEndFiles(frontEnd, image, working, frontEndPath) || writeTranslationFiles(extractor, working) ||
           extractor.writeIconFile(working + kIconFileName);
  }
};

}  // namespace

TEST_F(StagingTest, EveryStagedFileIsItsResourceByteForByte) {
  std::wstring frontEndPath;
  ASSERT_FALSE(stage(frontEndPath));
  EXPECT_EQ(frontEndPath, working + L"\\KelvraInstaller.exe");

  const std::string frontEnd = readFileBytes(frontEndPath);
  EXPECT_EQ(frontEnd.substr(0, 2), "MZ");
  // The build's own front end, byte for byte, though its resource is packed.
  EXPECT_EQ(frontEnd, readFileBytes(KELVRA_TEST_PAYLOAD_DIR L"/KelvraInstaller.exe"));
  expectPackedResourceOf(129, frontEnd);
  const std::string image = readFileBytes(working + L"\\icon.png");
  EXPECT_EQ(image.substr(1, 3), "PNG");
  EXPECT_EQ(image, readFileBytes(KELVRA_TEST_SOURCE_DIR L"/resources/icon.png"));
  EXPECT_EQ(resourceBytes(133, kRawDataResourceType).substr(0, 4), "KZ01");
  EXPECT_EQ(readFileBytes(working + L"\\KelvraInstaller.exe.config"),
            "<configuration>\n<startup>\n<supportedRuntime version = \"v4.0\"/>\n"
            "<supportedRuntime version = \"v2.0.50727\"/>\n</startup>\n</configuration>\n");
  EXPECT_EQ(readFileBytes(working + L"\\KelvraInstaller.exe.config").size(), 134u);

  for (const TranslationRow& row : kTranslationTable) {
    SCOPED_TRACE(toUtf8(row.culture));
    EXPECT_TRUE(isFolder(working + L"\\" + row.culture));
    const std::string staged = readFileBytes(working + L"\\" + row.culture + L"\\KelvraWebInstaller.resources.dll");
    EXPECT_EQ(staged.substr(0, 2), "MZ");
    expectPackedResourceOf(row.resourceId, staged);
    // The culture's own DLL: a mix-up of ids would stage another language here.
    EXPECT_EQ(staged, readFileBytes(std::wstring(KELVRA_TEST_PAYLOAD_DIR L"/") + row.culture +
                                    L"/KelvraWebInstaller.resources.dll"));
  }
  // Our icon file lays its images out exactly as the staged one must.
  EXPECT_EQ(readFileBytes(working + L"\\icon.ico"), readFileBytes(KELVRA_TEST_SOURCE_DIR L"/resources/application.ico"));
}

TEST_F(StagingTest, LogShowsTheTranslationsInTableOrderThenTheIcon) {
  std::wstring frontEndPath;
  ASSERT_FALSE(stage(frontEndPath));
  std::vector<std::string> expected{"[info] Dumping translation files."};
  for (const wchar_t* culture :
       {L"pt-BR", L"zh", L"fr", L"de", L"pl", L"ru", L"zh-Hant", L"ja", L"ko", L"es", L"es-MX", L"it"}) {
    expected.push_back(dumpingLine(working, culture));
  }
  expected.push_back("[info] Extracting icon resources.");
  EXPECT_EQ(log.messages(), expected);
}

TEST_F(StagingTest, StagedIconHasTheGroupOrderAndOpensAtEverySize) {
  ASSERT_FALSE(extractor.writeIconFile(working + kIconFileName));
  const std::string icon = readFileBytes(working + L"\\icon.ico");
  ASSERT_GE(icon.size(), 278u);
  EXPECT_EQ(icon.substr(0, 6), std::string("\0\0\1\0\x11\0", 6));
  const std::array<int, 17> widths{112, 128, 144, 16, 160, 20, 24, 256, 28, 32, 40, 48, 56, 64, 72, 80, 96};
  std::uint32_t offset = 278;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string entry = icon.substr(6 + 16 * i, 16);
    EXPECT_EQ(static_cast<unsigned char>(entry[0]), widths[i] % 256);
    EXPECT_EQ(static_cast<unsigned char>(entry[1]), widths[i] % 256);
    EXPECT_EQ(entry.substr(2, 6), std::string("\0\0\1\0\x20\0", 6));
    const std::uint32_t size = readDoubleWord(entry, 8);
    EXPECT_EQ(readDoubleWord(entry, 12), offset);
    ASSERT_LE(offset + size, icon.size());
    // Image i + 1 of the group, byte for byte, at its offset.
    EXPECT_EQ(icon.substr(offset, size), resourceBytes(static_cast<std::uint16_t>(i + 1), 3));
    // Every image is a PNG stream, the small ones included.
    EXPECT_EQ(icon.substr(offset, 8), "\x89PNG\r\n\x1a\n");
    std::string image = icon.substr(offset, size);
    HICON decoded = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(image.data()), size, TRUE, 0x00030000,
                                             widths[i], widths[i], LR_DEFAULTCOLOR);
    EXPECT_NE(decoded, nullptr) << "the image does not decode";
    if (decoded != nullptr) DestroyIcon(decoded);
    offset += size;
  }
  EXPECT_EQ(offset, icon.size());

  const std::wstring path = working + L"\\icon.ico";
  for (const int width : widths) {
    SCOPED_TRACE(width);
    HICON handle =
        static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, width, width, LR_LOADFROMFILE));
    ASSERT_NE(handle, nullptr) << GetLastError();
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(handle, &info));
    BITMAP bitmap{};
    ASSERT_NE(GetObjectW(info.hbmColor, sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, width);
    EXPECT_EQ(bitmap.bmHeight, width);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(handle);
  }
}

TEST_F(StagingTest, IconFileReplacesAnOlderOne) {
  writeFileBytes(working + L"\\icon.ico", std::string(600000, 'x'));
  ASSERT_FALSE(extractor.writeIconFile(working + kIconFileName));
  EXPECT_EQ(readFileBytes(working + L"\\icon.ico"), readFileBytes(KELVRA_TEST_SOURCE_DIR L"/resources/application.ico"));
}

TEST_F(StagingTest, IconFileInAMissingFolderWritesNothing) {
  const std::wstring path = working + L"\\gone\\icon.ico";
  EXPECT_TRUE(extractor.writeIconFile(path));
  EXPECT_EQ(log.messages(), (std::vector<std::string>{"[info] Extracting icon resources.",
                                                      "[error] Failed to create icon file in path [" + toUtf8(path) +
                                                          "]."}));
}

TEST_F(StagingTest, ExistingCultureFolderStopsTheWalkThere) {
  ASSERT_TRUE(CreateDirectoryW((working + L"\\de").c_str(), nullptr));
  EXPECT_TRUE(writeTranslationFiles(extractor, working));
  for (const wchar_t* culture : {L"pt-BR", L"zh", L"fr"}) {
    EXPECT_TRUE(fileExists(working + L"\\" + culture + L"\\KelvraWebInstaller.resources.dll")) << toUtf8(culture);
  }
  EXPECT_FALSE(fileExists(working + L"\\de\\KelvraWebInstaller.resources.dll"));
  EXPECT_TRUE(isFolder(working + L"\\de"));
  EXPECT_FALSE(fileExists(working + L"\\pl"));
  const auto messages = log.messages();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[4], dumpingLine(working, L"de"));
  EXPECT_EQ(messages[5], "[error] Creating directory [" + toUtf8(working) + "\\de] failed. Error code 183.");
}

TEST_F(StagingTest, FrontEndPathIsSetEvenWhenItsWriteFails) {
  LoadedResource frontEnd;
  LoadedResource image;
  ASSERT_FALSE(extractor.loadResource(frontEnd, kFrontEndResourceId, kRawDataResourceType));
  ASSERT_FALSE(extractor.loadResource(image, kImageResourceId, kRawDataResourceType));
  const std::wstring missing = working + L"\\missing";
  std::wstring frontEndPath;
  EXPECT_TRUE(writeFrontEndFiles(frontEnd, image, missing, frontEndPath));
  EXPECT_EQ(frontEndPath, missing + L"\\KelvraInstaller.exe");
  EXPECT_EQ(log.messages(), std::vector<std::string>{"[error] Failed to create file [" + toUtf8(frontEndPath) +
                                                     "]. Error code 3."});
}

TEST_F(StagingTest, LookupOfAnAbsentIdNamesItAndLeavesTheRecord) {
  LoadedResource resource;
  EXPECT_TRUE(extractor.loadResource(resource, 146, kRawDataResourceType));
  EXPECT_TRUE(extractor.loadResource(resource, kFrontEndResourceId, kIconResourceType));
  EXPECT_EQ(resource.data, nullptr);
  EXPECT_EQ(resource.size, 0u);
  EXPECT_EQ(log.messages(), (std::vector<std::string>{"[error] Failed to find resource. Resource id: 146.",
                                                      "[error] Failed to find resource. Resource id: 129."}));
}

TEST_F(StagingTest, ExtractorCopiesLogToTheSameFile) {
  const ResourceExtractor copy = extractor;
  LoadedResource resource;
  EXPECT_TRUE(copy.loadResource(resource, 7, kRawDataResourceType));
  EXPECT_TRUE(extractor.loadResource(resource, 8, kRawDataResourceType));
  EXPECT_EQ(log.messages().size(), 2u);
}

TEST_F(StagingTest, StagedFrontEndOpensItsWindowWithTheStagedIconsAndEndsWithZeroWhenClosed) {
  std::wstring frontEndPath;
  ASSERT_FALSE(stage(frontEndPath));
  // The front end's own log tells whether it could load the staged icon.ico.
  const std::wstring frontEndLog = std::wstring(kLogFolderPath) + L"InstallerWebinstaller.log";
  const std::size_t logStart = fileExists(frontEndLog) ? readFileBytes(frontEndLog).size() : 0;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + frontEndPath + L"\"";
  ASSERT_TRUE(CreateProcessW(frontEndPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             working.c_str(), &startup, &process))
      << GetLastError();
  CloseHandle(process.hThread);

  WindowSearch search{process.dwProcessId, nullptr};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (search.window == nullptr && std::chrono::steady_clock::now() < deadline) {
    EnumWindows(findFrontEndWindow, reinterpret_cast<LPARAM>(&search));
    if (search.window == nullptr) Sleep(100);
  }
  ASSERT_NE(search.window, nullptr);
  EXPECT_TRUE(closeWhenSettled(search.window, process.hProcess));
  DWORD exitCode = 99;
  GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);
  if (exitCode == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  // Its window took its icons from the staged file, PNG images and all.
  const std::string logged = readFileBytes(frontEndLog).substr(logStart);
  EXPECT_NE(logged.find("] [information] Loading icon file: "), std::string::npos);
  EXPECT_EQ(logged.find("Could not load the icon file"), std::string::npos) << logged;
}

// writeMappedFile, and writeInflatedFile with the same bytes packed, against what
// else may be at or around its path.
struct MappedFileCase {
  const char* name;
  std::uint32_t size;
  enum Setup { nothing, longerFile, fileHeldOpen, missingFolder } setup;
  bool fails;
  const char* logged;  // message start, before the path; null when nothing is logged
  DWORD errorCode;
  std::int64_t sizeAfter;  // -1: no file
  bool inflated = false;   // through writeInflatedFile
};

class MappedFileTest : public StagingTest, public ::testing::WithParamInterface<MappedFileCase> {};

TEST_P(MappedFileTest, WritesOrFailsWithTheWindowsCode) {
  const MappedFileCase& test = GetParam();
  std::wstring path = working + L"\\KelvraInstaller.exe";
  HANDLE holder = INVALID_HANDLE_VALUE;
  switch (test.setup) {
    case MappedFileCase::nothing:
      break;
    case MappedFileCase::longerFile:
      writeFileBytes(path, std::string(100000, 'o'));
      break;
    case MappedFileCase::fileHeldOpen:
      // Shares everything, yet the write, which shares nothing, must be refused.
      holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(holder, INVALID_HANDLE_VALUE);
      break;
    case MappedFileCase::missingFolder:
      path = working + L"\\de\\KelvraWebInstaller.resources.dll";
      break;
  }
  std::string data(test.size, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 1);

  if (test.inflated) {
    const std::string stored = packed(data);
    LoadedResource resource;
    resource.id = kFrontEndResourceId;
    resource.data = reinterpret_cast<const std::uint8_t*>(stored.data());
    resource.size = static_cast<std::uint32_t>(stored.size());
    EXPECT_EQ(writeInflatedFile(path, resource), test.fails);
  } else {
    EXPECT_EQ(writeMappedFile(path, data.data(), test.size), test.fails);
  }
  if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

  if (test.logged == nullptr) {
    EXPECT_TRUE(log.messages().empty());
  } else {
    EXPECT_EQ(log.messages(), std::vector<std::string>{std::string(test.logged) + " [" + toUtf8(path) +
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

INSTANTIATE_TEST_SUITE_P(
    Cases, MappedFileTest,
    ::testing::Values(
        MappedFileCase{"NewFile", 70000, MappedFileCase::nothing, false, nullptr, 0, 70000},
        MappedFileCase{"LongerOldFileIsCutToTheNewSize", 1234, MappedFileCase::longerFile, false, nullptr, 0, 1234},
        MappedFileCase{"OneByte", 1, MappedFileCase::nothing, false, nullptr, 0, 1},
        MappedFileCase{"ZeroBytesFailAtTheMappingAndLeaveAnEmptyFile", 0, MappedFileCase::nothing, true,
                       "[error] Failed to create file mapping for file", ERROR_FILE_INVALID, 0},
        MappedFileCase{"FileHeldOpenElsewhereIsASharingViolation", 10, MappedFileCase::fileHeldOpen, true,
                       "[error] Failed to create file", ERROR_SHARING_VIOLATION, 0},
        MappedFileCase{"MissingFolderIsNotCreated", 10, MappedFileCase::missingFolder, true,
                       "[error] Failed to create file", ERROR_PATH_NOT_FOUND, -1},
        MappedFileCase{"InflatedNewFile", 70000, MappedFileCase::nothing, false, nullptr, 0, 70000, true},
        MappedFileCase{"InflatedLongerOldFileIsCutToTheNewSize", 1234, MappedFileCase::longerFile, false, nullptr, 0,
                       1234, true},
        MappedFileCase{"InflatedZeroBytesFailAtTheMappingAndLeaveAnEmptyFile", 0, MappedFileCase::nothing, true,
                       "[error] Failed to create file mapping for file", ERROR_FILE_INVALID, 0, true},
        MappedFileCase{"InflatedFileHeldOpenElsewhereIsASharingViolation", 10, MappedFileCase::fileHeldOpen, true,
                       "[error] Failed to create file", ERROR_SHARING_VIOLATION, 0, true},
        MappedFileCase{"InflatedMissingFolderIsNotCreated", 10, MappedFileCase::missingFolder, true,
                       "[error] Failed to create file", ERROR_PATH_NOT_FOUND, -1, true}),
    [](const ::testing::TestParamInfo<MappedFileCase>& info) { return std::string(info.param.name); });
