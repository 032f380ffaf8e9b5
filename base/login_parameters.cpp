#include "base/login_parameters.h"

#include <cstdint>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/base64.h"
#include "base/json_text.h"

namespace kelvra::base {

namespace {

constexpr std::string_view kLoginParametersKey = "login_parameters";

// Writes the document back as the parser reports it, event by event, so that no
// value is held in a tree and any depth is fine; the value that follows a
// login_parameters key is written as "[redacted]" and its own events skipped.
class RedactingWriter {
 public:
  using json = nlohmann::json;

  bool null() { return scalar("null"); }
  bool boolean(bool value) { return scalar(value ? "true" : "false"); }
  bool number_integer(json::number_integer_t value) { return scalar(std::to_string(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return scalar(std::to_string(value)); }
  // The number as written, so that nothing of it changes.
  bool number_float(json::number_float_t, const std::string& text) { return scalar(text); }
  bool string(std::string& value) { return scalar("\"" + jsonStringContent(value) + "\""); }
  bool binary(json::binary_t&) { return false; }  // never from JSON text
  bool start_object(std::size_t) { return open('{'); }
  bool end_object() { return close('}'); }
  bool start_array(std::size_t) { return open('['); }
  bool end_array() { return close(']'); }
  bool key(std::string& name) {
    if (skipping_ > 0) return true;
    separate();
    text_ += "\"" + jsonStringContent(name) + "\":";
    afterKey_ = true;
    redactNext_ = name == kLoginParametersKey;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

  [[nodiscard]] std::string take() { return std::move(text_); }

 private:
  // True when the value about to start is written as "[redacted]" instead.
  bool redacted() {
    if (!redactNext_) return false;
    redactNext_ = false;
    afterKey_ = false;
    text_ += "\"";
    text_ += kRedacted;
    text_ += "\"";
    return true;
  }
  void separate() {
    if (afterKey_) {
      afterKey_ = false;
    } else if (!firstInContainer_.empty() && !firstInContainer_.back()) {
      text_ += ',';
    }
    if (!firstInContainer_.empty()) firstInContainer_.back() = false;
  }
  bool scalar(std::string_view value) {
    if (skipping_ > 0 || redacted()) return true;
    separate();
    text_ += value;
    return true;
  }
  bool open(char bracket) {
    if (skipping_ > 0) {
      ++skipping_;
    } else if (redacted()) {
      skipping_ = 1;
    } else {
      separate();
      text_ += bracket;
      firstInContainer_.push_back(true);
    }
    return true;
  }
  bool close(char bracket) {
    if (skipping_ > 0) {
      --skipping_;
      return true;
    }
    text_ += bracket;
    firstInContainer_.pop_back();
    return true;
  }

  std::string text_;
  std::vector<bool> firstInContainer_;
  std::size_t skipping_ = 0;
  bool afterKey_ = false;
  bool redactNext_ = false;
};

std::optional<std::string> redactedDocument(std::string_view json) {
  RedactingWriter writer;
  // The parser itself rather than json::sax_parse, which would also build in the
  // binary formats' readers; strict, like the token's own parse.
  using Adapter = decltype(nlohmann::detail::input_adapter(json.data(), json.data() + json.size()));
  nlohmann::detail::parser<nlohmann::json, Adapter> parser(
      nlohmann::detail::input_adapter(json.data(), json.data() + json.size()), nullptr, false);
  if (!parser.sax_parse(&writer, true)) return std::nullopt;
  return writer.take();
}

}  // namespace

std::string redactLoginParameters(std::string_view json) {
  if (json.empty()) return {};
  return redactedDocument(json).value_or(kRedacted);
}

std::string redactEncodedLoginParameters(std::string_view base64) {
  if (base64.empty()) return {};
  std::string decoded;
  if (decodeBase64(base64, decoded)) return kRedacted;
  const std::optional<std::string> document = redactedDocument(decoded);
  return document ? encodeBase64(*document) : kRedacted;
}

}  // namespace kelvra::base
