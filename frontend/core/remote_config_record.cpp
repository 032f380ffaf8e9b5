#include "core/remote_config_record.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "base/utf8.h"
#include "contract/remote_config_service.h"

namespace kelvra::frontend::core {

namespace {

using Json = nlohmann::json;

// The member's object, or nullptr when it is absent or null.
const Json* objectMember(const Json& parent, const char* name, const char* path) {
  const auto found = parent.find(name);
  if (found == parent.end() || found->is_null()) return nullptr;
  if (!found->is_object()) throw std::runtime_error(std::string(path) + " is not an object.");
  return &*found;
}

void readString(const Json& parent, const char* name, std::string& out) {
  const auto found = parent.find(name);
  if (found == parent.end() || found->is_null()) return;
  if (!found->is_string()) throw std::runtime_error(std::string("content.windows.") + name + " is not a string.");
  out = found->get<std::string>();
}

void readOptionalString(const Json& parent, const char* name, std::optional<std::string>& out) {
  std::string value;
  if (const auto found = parent.find(name); found == parent.end() || found->is_null()) return;
  readString(parent, name, value);
  out = std::move(value);
}

void readBool(const Json& parent, const char* name, bool& out) {
  const auto found = parent.find(name);
  if (found == parent.end() || found->is_null()) return;
  if (!found->is_boolean()) throw std::runtime_error(std::string("content.windows.") + name + " is not true or false.");
  out = found->get<bool>();
}

bool unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::wstring percentEncode(std::wstring_view text) {
  static constexpr wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring out;
  for (const char byte : base::toUtf8(text)) {
    const auto c = static_cast<unsigned char>(byte);
    if (unreserved(c)) {
      out += static_cast<wchar_t>(c);
    } else {
      out += L'%';
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}

}  // namespace

RemoteConfigRecord parseRemoteConfig(std::string_view text) {
  const Json document = Json::parse(text.begin(), text.end());
  if (!document.is_object()) throw std::runtime_error("The remote config is not a JSON object.");
  RemoteConfigRecord record;
  const Json* content = objectMember(document, "content", "content");
  const Json* windows = content == nullptr ? nullptr : objectMember(*content, "windows", "content.windows");
  if (windows == nullptr) return record;
  readString(*windows, "version", record.version);
  readString(*windows, "downloadLink", record.downloadLink);
  readString(*windows, "installerMd5", record.installerMd5);
  readOptionalString(*windows, "installerSha256", record.installerSha256);
  readBool(*windows, "deprecated", record.deprecated);
  return record;
}

std::wstring remoteConfigAddress(std::wstring_view host, std::wstring_view productId, std::wstring_view configVersion) {
  std::wstring address = L"https://" + std::wstring(host) + contract::kRemoteConfigServicePath;
  if (!productId.empty()) address += L"/clients/" + percentEncode(productId);
  address += contract::kRemoteConfigVersionQuery + std::wstring(configVersion);
  return address;
}

}  // namespace kelvra::frontend::core
