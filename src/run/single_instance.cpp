#include "run/single_instance.h"

#include "notices/notices.h"

namespace kelvra::run {

HANDLE acquireSingleInstanceMutex() {
  if (HANDLE existing = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kSingleInstanceMutexName)) {
    // Left open on purpose: the process ends right after the notice.
    (void)existing;
    notices::showAlreadyRunningNotice();
    return nullptr;
  }
  if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    notices::showInstallationErrorNotice();
    return nullptr;
  }
  HANDLE created = CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName);
  if (created == nullptr) {
    notices::showStartFailureNotice(GetLastError());
    return nullptr;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // Another copy created it between our open and our create: it won the race.
    CloseHandle(created);
    notices::showAlreadyRunningNotice();
    return nullptr;
  }
  return created;
}

}  // namespace kelvra::run
