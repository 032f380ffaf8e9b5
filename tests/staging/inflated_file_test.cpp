#include "staging/inflated_file.h"

#include <zlib.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "staging/staged_files.h"
#include "support/mapped_write.h"

using namespace kelvra::staging;

namespace {

// A packed resource's bytes, as the build packs it.
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

// The inflating write goes the mapped write's way, with the bytes packed.
class InflatedFileTest : public LoggedTest, public ::testing::WithParamInterface<MappedWriteCase> {};

TEST_P(InflatedFileTest, WritesOrFailsWithTheWindowsCode) {
  checkMappedWrite(GetParam(), folder, log, [](const std::wstring& path, const std::string& data) {
    const std::string stored = packed(data);
    LoadedResource resource;
    resource.id = kFrontEndResourceId;
    resource.data = reinterpret_cast<const std::uint8_t*>(stored.data());
    resource.size = static_cast<std::uint32_t>(stored.size());
    return writeInflatedFile(path, resource);
  });
}

INSTANTIATE_TEST_SUITE_P(Cases, InflatedFileTest, ::testing::ValuesIn(kMappedWriteCases), mappedWriteCaseName);

}  // namespace
