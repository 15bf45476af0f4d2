#include <windows.h>

#include <cstdint>

#include "payload/worker_threads.h"

namespace {

// More is never asked for: each thread of the work holds buffers of its own.
constexpr uint32_t kMaxThreads = 64;

void (*currentWork)(uint32_t thread) = nullptr;

DWORD WINAPI workerThread(void* thread) {
  currentWork(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(thread)));
  return 0;
}

}  // namespace

uint32_t workerThreadsFor(uint32_t items, uint32_t cap) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  uint32_t threads = system.dwNumberOfProcessors == 0 ? 1 : system.dwNumberOfProcessors;
  if (threads > cap) threads = cap;
  if (threads > kMaxThreads) threads = kMaxThreads;
  if (threads > items) threads = items;
  return threads == 0 ? 1 : threads;
}

void runOnWorkerThreads(uint32_t threads, void (*work)(uint32_t thread)) {
  currentWork = work;
  HANDLE workers[kMaxThreads];
  uint32_t started = 0;
  for (uint32_t thread = 1; thread < threads && thread < kMaxThreads; ++thread) {
    const HANDLE worker = CreateThread(
        /*lpThreadAttributes=*/nullptr, /*dwStackSize=*/64 * 1024,
        /*lpStartAddress=*/workerThread,
        /*lpParameter=*/reinterpret_cast<void*>(static_cast<uintptr_t>(thread)),
        /*dwCreationFlags=*/STACK_SIZE_PARAM_IS_A_RESERVATION, /*lpThreadId=*/nullptr);
    if (worker == nullptr) break;
    workers[started++] = worker;
  }
  work(0);
  for (uint32_t i = 0; i < started; ++i) {
    WaitForSingleObject(workers[i], INFINITE);
    CloseHandle(workers[i]);
  }
}
