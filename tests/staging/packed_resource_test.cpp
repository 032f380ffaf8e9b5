// The packed resource: its header read from bytes, and its stream inflated into a
// bounded target, whole or damaged in each way a download can be.
#include "staging/packed_resource.h"

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace kelvra::staging;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sampleContent(std::size_t size) {
  Bytes content(size);
  std::uint32_t state = 12345;
  // Half repetitive, half noise: both kinds of deflate block appear.
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245 + 12345;
    content[i] = i % 1024 < 512 ? static_cast<std::uint8_t>(i % 7) : static_cast<std::uint8_t>(state >> 24);
  }
  return content;
}

// What resources/pack_resource.py writes.
Bytes pack(const Bytes& content, std::uint32_t recordedSize, int level = 9) {
  uLongf streamSize = compressBound(static_cast<uLong>(content.size()));
  Bytes stream(streamSize);
  EXPECT_EQ(compress2(stream.data(), &streamSize, content.data(), static_cast<uLong>(content.size()), level), Z_OK);
  stream.resize(streamSize);
  Bytes packed{'K', 'Z', '0', '1'};
  for (int i = 0; i < 4; ++i) packed.push_back(static_cast<std::uint8_t>(recordedSize >> (8 * i)));
  packed.insert(packed.end(), stream.begin(), stream.end());
  return packed;
}

Bytes pack(const Bytes& content) { return pack(content, static_cast<std::uint32_t>(content.size())); }

constexpr std::uint8_t kGuard = 0xA5;
constexpr std::size_t kGuardSize = 64;

// Inflates into a target of the recorded size inside a guarded buffer; fails the
// test if a guard byte was written.
bool inflateGuarded(const Bytes& stored, Bytes& inflated) {
  const PackedResource packed = readPackedResource(stored);
  Bytes buffer(packed.inflatedSize + 2 * kGuardSize, kGuard);
  const bool failed = inflatePackedResource(packed, std::span(buffer).subspan(kGuardSize, packed.inflatedSize));
  for (std::size_t i = 0; i < kGuardSize; ++i) {
    EXPECT_EQ(buffer[i], kGuard) << "written before the target";
    EXPECT_EQ(buffer[buffer.size() - 1 - i], kGuard) << "written past the target";
  }
  inflated.assign(buffer.begin() + kGuardSize, buffer.end() - kGuardSize);
  return failed;
}

TEST(PackedResourceTest, WholeResourcesInflateByteForByte) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{134}, std::size_t{480000}}) {
    for (const int level : {0, 9}) {
      SCOPED_TRACE("size " + std::to_string(size) + ", level " + std::to_string(level));
      const Bytes content = sampleContent(size);
      Bytes inflated;
      EXPECT_FALSE(inflateGuarded(pack(content, static_cast<std::uint32_t>(size), level), inflated));
      EXPECT_EQ(inflated, content);
    }
  }
}

struct HeaderCase {
  const char* name;
  Bytes stored;
};

TEST(PackedResourceTest, HeadersThatCantBeTrustedAreDamaged) {
  const Bytes whole = pack(sampleContent(1000));
  Bytes wrongMagic = whole;
  wrongMagic[3] = '2';
  // Deflate makes at most 1032 bytes of one: the stream can't hold this.
  const std::size_t streamSize = whole.size() - kPackedResourceHeaderSize;
  const Bytes beyondDeflate = pack(sampleContent(1000), static_cast<std::uint32_t>(1032 * streamSize + 1));
  const Bytes atDeflatesLimit = pack(sampleContent(1000), static_cast<std::uint32_t>(1032 * streamSize));
  const std::vector<HeaderCase> cases{
      {"empty", {}},
      {"header cut", Bytes(whole.begin(), whole.begin() + 7)},
      {"wrong magic", wrongMagic},
      {"plain file", Bytes{'P', 'N', 'G', ' ', 'i', 'm', 'a', 'g', 'e'}},
      {"size beyond deflate", beyondDeflate},
      {"largest size", pack(sampleContent(10), 0xFFFFFFFF)},
  };
  for (const HeaderCase& test : cases) {
    SCOPED_TRACE(test.name);
    const PackedResource packed = readPackedResource(test.stored);
    EXPECT_TRUE(packed.damaged);
    EXPECT_EQ(packed.inflatedSize, 0u);
    EXPECT_TRUE(packed.stream.empty());
  }
  const PackedResource limit = readPackedResource(atDeflatesLimit);
  EXPECT_FALSE(limit.damaged);
  EXPECT_EQ(limit.inflatedSize, 1032 * streamSize);
  EXPECT_EQ(limit.stream.size(), streamSize);
}

struct DamageCase {
  const char* name;
  std::function<Bytes(const Bytes& content)> damage;
};

TEST(PackedResourceTest, DamagedStreamsFailWithoutWritingOutsideTheTarget) {
  const std::vector<DamageCase> cases{
      {"recorded size one more", [](const Bytes& c) { return pack(c, static_cast<std::uint32_t>(c.size() + 1)); }},
      {"recorded size one less", [](const Bytes& c) { return pack(c, static_cast<std::uint32_t>(c.size() - 1)); }},
      {"recorded size half", [](const Bytes& c) { return pack(c, static_cast<std::uint32_t>(c.size() / 2)); }},
      {"recorded size zero", [](const Bytes& c) { return pack(c, 0); }},
      {"stream cut",
       [](const Bytes& c) {
         Bytes p = pack(c);
         p.resize(p.size() - 100);
         return p;
       }},
      {"check sum cut",
       [](const Bytes& c) {
         Bytes p = pack(c);
         p.pop_back();
         return p;
       }},
      {"byte flipped in the data",
       [](const Bytes& c) {
         Bytes p = pack(c);
         p[p.size() / 2] ^= 0x10;
         return p;
       }},
      {"byte flipped in the check sum",
       [](const Bytes& c) {
         Bytes p = pack(c);
         p.back() ^= 0x01;
         return p;
       }},
      {"bytes after the stream",
       [](const Bytes& c) {
         Bytes p = pack(c);
         p.push_back(0);
         return p;
       }},
      {"stream of another format",
       [](const Bytes& c) {
         Bytes p = pack(c);
         p[8] = 0x1F;
         p[9] = 0x8B;
         return p;
       }},
  };
  const Bytes content = sampleContent(20000);
  for (const DamageCase& test : cases) {
    SCOPED_TRACE(test.name);
    Bytes inflated;
    EXPECT_TRUE(inflateGuarded(test.damage(content), inflated));
  }
}

TEST(PackedResourceTest, TargetOfAnotherSizeThanRecordedIsRefused) {
  const Bytes content = sampleContent(300);
  const PackedResource packed = readPackedResource(pack(content));
  Bytes larger(301);
  Bytes smaller(299);
  EXPECT_TRUE(inflatePackedResource(packed, larger));
  EXPECT_TRUE(inflatePackedResource(packed, smaller));
  EXPECT_TRUE(inflatePackedResource(PackedResource{}, std::span<std::uint8_t>()));
}

}  // namespace
