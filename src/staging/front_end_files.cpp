#include "staging/front_end_files.h"

#include <windows.h>

#include <string_view>

#include "base/logging.h"
#include "base/mapped_file.h"
#include "staging/inflated_file.h"
#include "staging/staged_files.h"

namespace kelvra::staging {

namespace {

[[nodiscard]] bool writeTranslationFile(const ResourceExtractor& extractor, const std::wstring& workingFolderPath,
                                        const TranslationRow& row) {
  const std::wstring_view culture = row.culture;
  const std::wstring folderPath = workingFolderPath + L"\\" + row.culture;
  const std::wstring filePath = folderPath + contract::kTranslationFileName;
  base::logInfo(base::findFileLogger(), L"Dumping translation file of language [{}], path [{}]", culture, filePath);

  LoadedResource translation;
  if (extractor.loadResource(translation, row.resourceId, kRawDataResourceType)) return true;
  // An existing folder fails too: the working folder is fresh on every run, so one
  // that is already there is not ours.
  if (!CreateDirectoryW(folderPath.c_str(), nullptr)) {
    const DWORD error = GetLastError();
    base::logError(base::findFileLogger(), L"Creating directory [{}] failed. Error code {}.", folderPath, error);
    return true;
  }
  return writeInflatedFile(filePath, translation);
}

}  // namespace

bool writeFrontEndFiles(const LoadedResource& frontEnd, const LoadedResource& image,
                        const std::wstring& workingFolderPath, std::wstring& frontEndPath) {
  frontEndPath = workingFolderPath + kFrontEndFileName;
  if (writeInflatedFile(frontEndPath, frontEnd)) return true;
  if (writeInflatedFile(workingFolderPath + kImageFileName, image)) return true;
  return base::writeMappedFile(workingFolderPath + kFrontEndConfigFileName, kFrontEndConfigText.data(),
                               static_cast<std::uint32_t>(kFrontEndConfigText.size()));
}

bool writeTranslationFiles(ResourceExtractor extractor, const std::wstring& workingFolderPath) {
  base::logInfo(base::findFileLogger(), "Dumping translation files.");
  for (const TranslationRow& row : kTranslationTable) {
    if (writeTranslationFile(extractor, workingFolderPath, row)) return true;
  }
  return false;
}

}  // namespace kelvra::staging
