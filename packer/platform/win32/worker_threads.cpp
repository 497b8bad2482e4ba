#include "packer/worker_threads.h"

#include <process.h>
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "packing threads: %s failed (error %lu)\n", what, GetLastError());
  std::abort();
}

}  // namespace

struct Mutex::Native {
  CRITICAL_SECTION section;
};

Mutex::Mutex() : native_(new Native) { InitializeCriticalSection(&native_->section); }
Mutex::~Mutex() {
  DeleteCriticalSection(&native_->section);
  delete native_;
}
void Mutex::Lock() { EnterCriticalSection(&native_->section); }
void Mutex::Unlock() { LeaveCriticalSection(&native_->section); }

struct Semaphore::Native {
  HANDLE semaphore;
};

Semaphore::Semaphore() : native_(new Native) {
  native_->semaphore = CreateSemaphoreA(nullptr, 0, LONG_MAX, nullptr);
  if (native_->semaphore == nullptr) Fail("CreateSemaphore");
}
Semaphore::~Semaphore() {
  CloseHandle(native_->semaphore);
  delete native_;
}
void Semaphore::Wait() {
  if (WaitForSingleObject(native_->semaphore, INFINITE) != WAIT_OBJECT_0) Fail("WaitForSingleObject");
}
void Semaphore::Post() {
  if (!ReleaseSemaphore(native_->semaphore, 1, nullptr)) Fail("ReleaseSemaphore");
}

namespace {

// Started through the runtime's _beginthreadex, so that the C library is
// set up for the thread as it is for the main one.
unsigned __stdcall ThreadEntry(void* work) {
  static_cast<ThreadWork*>(work)->Run();
  return 0;
}

}  // namespace

struct WorkerThread::Native {
  HANDLE thread = nullptr;
};

WorkerThread::WorkerThread() : native_(new Native) {}
WorkerThread::~WorkerThread() {
  Join();
  delete native_;
}

bool WorkerThread::Start(ThreadWork& work) {
  if (native_->thread != nullptr) return false;
  const uintptr_t thread = _beginthreadex(nullptr, 0, ThreadEntry, &work, 0, nullptr);
  native_->thread = reinterpret_cast<HANDLE>(thread);
  return native_->thread != nullptr;
}

void WorkerThread::Join() {
  if (native_->thread == nullptr) return;
  WaitForSingleObject(native_->thread, INFINITE);
  CloseHandle(native_->thread);
  native_->thread = nullptr;
}

int HardwareThreads() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}
