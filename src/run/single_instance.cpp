#include "run/single_instance.h"

#include "notices/notices.h"

namespace kelvra::run {

base::ScopedKernelHandle acquireSingleInstanceMutex() {
  if (const base::ScopedKernelHandle existing(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kSingleInstanceMutexName));
      existing) {
    notices::showAlreadyRunningNotice();
    return {};
  }
  if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    notices::showInstallationErrorNotice();
    return {};
  }
  base::ScopedKernelHandle created(CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName));
  if (!created) {
    notices::showStartFailureNotice(GetLastError());
    return {};
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // Another copy created it between our open and our create: it won the race.
    notices::showAlreadyRunningNotice();
    return {};
  }
  return created;
}

}  // namespace kelvra::run
