// Staging run against this program's own resources, or by a staging_case_<name>.exe
// (tests/tools) that links the resources one case needs, as the bootstrapper does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "staging/front_end_files.h"
#include "staging/resource_extractor.h"
#include "staging/staged_files.h"
#include "support/child_process.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"
#include "support/test_log.h"

// Read straight from the exe, not through the code under test.
inline std::string resourceBytes(std::uint16_t id, std::uint16_t type) {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (info == nullptr) return {};
  const auto* data = static_cast<const char*>(LockResource(LoadResource(nullptr, info)));
  return std::string(data, SizeofResource(nullptr, info));
}

class StagingTest : public LoggedTest {
 protected:
  kelvra::staging::ResourceExtractor extractor{log.logger()};
  std::wstring working = folder / L"KelvraInstaller_abcde";

  void SetUp() override { ASSERT_TRUE(CreateDirectoryW(working.c_str(), nullptr)); }

  // Every staging step in the driver's order; true on failure.
  bool stage(std::wstring& frontEndPath) {
    using namespace kelvra::staging;
    LoadedResource frontEnd;
    LoadedResource image;
    return extractor.loadResource(frontEnd, kFrontEndResourceId, kRawDataResourceType) ||
           extractor.loadResource(image, kImageResourceId, kRawDataResourceType) ||
           writeFrontEndFiles(frontEnd, image, working, frontEndPath) || writeTranslationFiles(extractor, working) ||
           extractor.writeIconFile(working + kelvra::contract::kIconFileName);
  }
};

class StagingCaseTest : public FolderTest {
 protected:
  std::wstring logPath = folder / L"case.log";
  std::wstring working = folder / L"KelvraInstaller_abcde";

  void SetUp() override { ASSERT_TRUE(CreateDirectoryW(working.c_str(), nullptr)); }

  // Runs staging_case_<variant>.exe; returns its exit code.
  DWORD runCase(const std::wstring& variant, const std::wstring& operation, const std::wstring& target) {
    const ChildProcess child = startProcess(L"\"" + programFolder() + L"\\staging_case_" + variant + L".exe\" \"" +
                                            logPath + L"\" " + operation + L" \"" + target + L"\"");
    DWORD exitCode = 99;
    if (!child.handle) {
      ADD_FAILURE() << "cannot start staging_case_" << kelvra::base::toUtf8(variant) << ": " << GetLastError();
    } else if (WaitForSingleObject(child.handle.get(), 60000) == WAIT_OBJECT_0) {
      GetExitCodeProcess(child.handle.get(), &exitCode);
    }
    return exitCode;
  }

  std::vector<std::string> messages() const { return logMessages(readFileBytes(logPath)); }
};
