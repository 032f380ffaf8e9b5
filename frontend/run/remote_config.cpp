#include "run/remote_config.h"

#include <exception>
#include <stdexcept>

#include "base/utf8.h"
#include "contract/document_limits.h"
#include "contract/handoff_files.h"
#include "net/http_client.h"
#include "platform/file_reading.h"
#include "platform/frontend_error.h"
#include "platform/logger.h"
#include "platform/product_version.h"

namespace kelvra::frontend {

namespace {

std::string readConfigFile(const std::wstring& path) {
  const FileReading reading = readWholeFile(path, contract::kMaxRemoteConfigFileBytes);
  if (reading.failed) throw std::runtime_error(base::toUtf8(describeReadFailure(path, reading.error)));
  return reading.bytes;
}

std::string downloadConfig(const std::wstring& address, const core::HttpLimits& network, HttpAbortGroup* exchanges) {
  HttpClient client(L"ZAVWebinstaller/" KELVRA_FRONTEND_VERSION_TEXT, network);
  const HttpAbortGroup::Watch watch(exchanges, client);
  HttpResult result = client.get(address);
  if (result.failed) throw std::runtime_error(base::toUtf8(result.message));
  return std::move(result.body);
}

}  // namespace

void fetchRemoteConfig(const RemoteConfigInputs& inputs, Logger& logger, std::wstring& location,
                       core::RemoteConfigRecord& config) {
  location = inputs.folder + contract::kRemoteConfigFileName;
  logger.log(L"Getting json remote config: " + location, base::LogLevel::info);
  try {
    if (isExistingFile(location)) {
      logger.log(L"Getting json remote config successful", base::LogLevel::info);
      config = core::parseRemoteConfig(readConfigFile(location));
    } else {
      logger.log(L"Bootstrap did not dropped remote config, trying to download", base::LogLevel::warning);
      const std::wstring address = core::remoteConfigAddress(inputs.host, inputs.productId, inputs.configVersion);
      location = address;
      config = core::parseRemoteConfig(downloadConfig(address, inputs.network, inputs.exchanges));
      logger.log(L"remote config source: " + address, base::LogLevel::info);
    }
  } catch (const std::exception& error) {
    const bool givenUp = inputs.exchanges != nullptr && inputs.exchanges->aborted();
    if (!givenUp) logger.log(L"Error reading remote config: " + base::fromUtf8(error.what()), base::LogLevel::error);
    config = core::RemoteConfigRecord{};
    throw FrontEndError(core::FailureKind::remoteConfig, L"Getting json remote config: " + location);
  }
  if (config.deprecated) {
    throw FrontEndError(core::FailureKind::outdated, L"Remote config suggests this installer is deprecated.");
  }
}

}  // namespace kelvra::frontend
