#include "handoff/launch_parameters.h"

namespace kelvra::handoff {

std::wstring buildLaunchParameters(const std::wstring& parameterText, const std::wstring& extraArgument) {
  std::wstring parameters = parameterText;
  if (!extraArgument.empty()) parameters += L" \"" + extraArgument + L"\"";
  return parameters;
}

}  // namespace kelvra::handoff
