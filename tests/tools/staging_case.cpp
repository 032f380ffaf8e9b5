// Runs one staging step against this program's own resources, the way the
// bootstrapper does, so that a test chooses the resources by choosing the program:
// each staging_case_<name>.exe links staging_cases/<name>.rc.
//   staging_case <log file> frontend|translations <working folder>
//   staging_case <log file> icon <icon file path>
// Exit code: 0 when the step succeeded, 1 when it failed, 2 on a bad command line.
#include <windows.h>

#include <string>

#include "base/file_logger.h"
#include "staging/front_end_files.h"
#include "staging/resource_extractor.h"
#include "staging/staged_files.h"

using namespace kelvra::base;
using namespace kelvra::staging;

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  const LoggerHandle logger = createFileLogger(kFileLoggerName, argv[1], 5242880, 3);
  const ResourceExtractor extractor(logger);
  const std::wstring operation = argv[2];
  const std::wstring target = argv[3];
  bool failed = false;
  if (operation == L"frontend") {
    LoadedResource frontEnd;
    LoadedResource image;
    std::wstring frontEndPath;
    failed = extractor.loadResource(frontEnd, kFrontEndResourceId, kRawDataResourceType) ||
             extractor.loadResource(image, kImageResourceId, kRawDataResourceType) ||
             writeFrontEndFiles(frontEnd, image, target, frontEndPath);
  } else if (operation == L"translations") {
    failed = writeTranslationFiles(extractor, target);
  } else if (operation == L"icon") {
    failed = extractor.writeIconFile(target);
  } else {
    return 2;
  }
  return failed ? 1 : 0;
}
