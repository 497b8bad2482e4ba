#include "packer/worker_threads.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "packing threads: %s failed\n", what);
  std::abort();
}

}  // namespace

struct Mutex::Native {
  pthread_mutex_t mutex;
};

Mutex::Mutex() : native_(new Native) {
  if (pthread_mutex_init(&native_->mutex, nullptr) != 0) Fail("pthread_mutex_init");
}
Mutex::~Mutex() {
  pthread_mutex_destroy(&native_->mutex);
  delete native_;
}
void Mutex::Lock() { pthread_mutex_lock(&native_->mutex); }
void Mutex::Unlock() { pthread_mutex_unlock(&native_->mutex); }

struct Semaphore::Native {
  pthread_mutex_t mutex;
  pthread_cond_t posted;
  long count = 0;
};

Semaphore::Semaphore() : native_(new Native) {
  if (pthread_mutex_init(&native_->mutex, nullptr) != 0 || pthread_cond_init(&native_->posted, nullptr) != 0) {
    Fail("creating a semaphore");
  }
}
Semaphore::~Semaphore() {
  pthread_cond_destroy(&native_->posted);
  pthread_mutex_destroy(&native_->mutex);
  delete native_;
}
void Semaphore::Wait() {
  pthread_mutex_lock(&native_->mutex);
  while (native_->count == 0) pthread_cond_wait(&native_->posted, &native_->mutex);
  --native_->count;
  pthread_mutex_unlock(&native_->mutex);
}
void Semaphore::Post() {
  pthread_mutex_lock(&native_->mutex);
  ++native_->count;
  pthread_cond_signal(&native_->posted);
  pthread_mutex_unlock(&native_->mutex);
}

namespace {

void* ThreadEntry(void* work) {
  static_cast<ThreadWork*>(work)->Run();
  return nullptr;
}

}  // namespace

struct WorkerThread::Native {
  pthread_t thread;
  bool running = false;
};

WorkerThread::WorkerThread() : native_(new Native) {}
WorkerThread::~WorkerThread() {
  Join();
  delete native_;
}

bool WorkerThread::Start(ThreadWork& work) {
  if (native_->running) return false;
  native_->running = pthread_create(&native_->thread, nullptr, ThreadEntry, &work) == 0;
  return native_->running;
}

void WorkerThread::Join() {
  if (!native_->running) return;
  pthread_join(native_->thread, nullptr);
  native_->running = false;
}

int HardwareThreads() {
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}
