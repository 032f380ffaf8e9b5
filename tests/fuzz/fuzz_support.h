// What the fuzz targets share: one input split into fields, wide text as Windows
// hands it over, a JSON judge, and a broken invariant turned into a crash that
// libFuzzer keeps as an artifact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition) ((condition) ? void(0) : ::fuzzCheckFailed(#condition, __FILE__, __LINE__))

[[noreturn]] void fuzzCheckFailed(const char* condition, const char* file, int line);

// Fields of one input, separated by the byte 0x1E (record separator), so that seeds
// stay readable: "en-US\x1E" "Game\x1E"... A missing field reads as empty.
class FieldReader {
 public:
  FieldReader(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  [[nodiscard]] std::string next();
  // True when a field is present and not empty.
  [[nodiscard]] bool nextFlag() { return !next().empty(); }
  // A field as UTF-16 text (see utf16FromBytes).
  [[nodiscard]] std::wstring nextWide();

 private:
  std::string_view rest_;
  bool done_ = false;
};

inline constexpr char kFieldSeparator = '\x1E';

// Bytes read as UTF-8 into 16-bit code units, as Windows holds wide text whatever
// wchar_t is here: characters above U+FFFF become surrogate pairs, and a byte that
// is not part of a well-formed sequence becomes the lone surrogate 0xDC00 + byte,
// so the fuzzer can reach every code unit, broken pairs included.
[[nodiscard]] std::wstring utf16FromBytes(std::string_view bytes);

// The document compacted with sorted keys when text is exactly one JSON document
// (strict; a zero byte anywhere fails, since JSON never holds one raw), else nullopt.
[[nodiscard]] std::optional<std::string> canonicalJson(std::string_view text);

// The canonical form of the value at the JSON pointer inside document, or nullopt
// when document is not JSON or has nothing there.
[[nodiscard]] std::optional<std::string> jsonValueAt(std::string_view document, const std::string& pointer);

// The canonical form of a JSON string holding text (valid UTF-8 expected).
[[nodiscard]] std::string jsonString(std::string_view text);

// The bytes as an exact-size heap block, so that AddressSanitizer reports any read
// past the end (a std::string keeps a terminator and spare capacity behind it).
class ExactBytes {
 public:
  explicit ExactBytes(std::string_view bytes);
  ~ExactBytes();
  ExactBytes(const ExactBytes&) = delete;
  ExactBytes& operator=(const ExactBytes&) = delete;

  [[nodiscard]] std::string_view view() const { return {data_, size_}; }
  [[nodiscard]] const std::uint8_t* bytes() const { return reinterpret_cast<const std::uint8_t*>(data_); }
  [[nodiscard]] std::size_t size() const { return size_; }

 private:
  char* data_;
  std::size_t size_;
};
