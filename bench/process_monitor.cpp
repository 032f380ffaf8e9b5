// Watches one process under the benchmark's Wine and reports the most memory it
// held: process_monitor <image name> <timeout ms>
// Prints "ready" at once, waits for a process of that image name (case ignored) to
// appear, then reads its memory counters every few milliseconds until it ends, and
// prints "processId=<id>" and "peakWorkingSetSize=<bytes>". The peak only grows, so
// the last reading is the process's peak; polling keeps one even when a process's
// counters can no longer be read once it has ended. Exit code 0; 1 when no such
// process appeared or it outlived the timeout (after printing "timeout"); 2 on
// wrong usage.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "base/scoped_handle.h"

namespace {

constexpr DWORD kPollMilliseconds = 5;

[[nodiscard]] DWORD findProcess(const wchar_t* imageName) {
  // A snapshot fails as INVALID_HANDLE_VALUE, like a file.
  const kelvra::base::ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, imageName) == 0) return entry.th32ProcessID;
  }
  return 0;
}

[[nodiscard]] SIZE_T peakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

int timedOut() {
  std::puts("timeout");
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: process_monitor.exe IMAGE_NAME TIMEOUT_MS\n", stderr);
    return 2;
  }
  const ULONGLONG deadline = GetTickCount64() + std::wcstoul(argv[2], nullptr, 10);
  std::puts("ready");
  std::fflush(stdout);

  kelvra::base::ScopedKernelHandle process;
  DWORD processId = 0;
  while (!process) {
    if (GetTickCount64() >= deadline) return timedOut();
    processId = findProcess(argv[1]);
    if (processId != 0) {
      process.reset(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, processId));
    }
    if (!process) Sleep(kPollMilliseconds);
  }

  SIZE_T peak = peakWorkingSet(process.get());
  while (WaitForSingleObject(process.get(), kPollMilliseconds) == WAIT_TIMEOUT) {
    if (GetTickCount64() >= deadline) return timedOut();
    peak = std::max(peak, peakWorkingSet(process.get()));
  }
  peak = std::max(peak, peakWorkingSet(process.get()));
  std::printf("processId=%lu\npeakWorkingSetSize=%lu\n", processId, static_cast<unsigned long>(peak));
  return 0;
}
