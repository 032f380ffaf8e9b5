#include "base/mapped_file.h"

#include <gtest/gtest.h>

#include "support/mapped_write.h"

using kelvra::base::writeMappedFile;

namespace {

class MappedFileTest : public LoggedTest, public ::testing::WithParamInterface<MappedWriteCase> {};

TEST_P(MappedFileTest, WritesOrFailsWithTheWindowsCode) {
  checkMappedWrite(GetParam(), folder, log, [](const std::wstring& path, const std::string& data) {
    return writeMappedFile(path, data.data(), static_cast<std::uint32_t>(data.size()));
  });
}

INSTANTIATE_TEST_SUITE_P(Cases, MappedFileTest, ::testing::ValuesIn(kMappedWriteCases), mappedWriteCaseName);

}  // namespace
