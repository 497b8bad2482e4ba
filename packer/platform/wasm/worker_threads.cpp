// WebAssembly: the module runs on one thread (a page's worker). No thread
// can be started, so the block pipeline encodes on the caller's thread, and
// the lock and the semaphore are never waited on.
#include "packer/worker_threads.h"

struct Mutex::Native {};
Mutex::Mutex() : native_(nullptr) {}
Mutex::~Mutex() { delete native_; }
void Mutex::Lock() {}
void Mutex::Unlock() {}

struct Semaphore::Native {};
Semaphore::Semaphore() : native_(nullptr) {}
Semaphore::~Semaphore() { delete native_; }
void Semaphore::Wait() {}
void Semaphore::Post() {}

struct WorkerThread::Native {};
WorkerThread::WorkerThread() : native_(nullptr) {}
WorkerThread::~WorkerThread() { delete native_; }
bool WorkerThread::Start(ThreadWork&) { return false; }
void WorkerThread::Join() {}

int HardwareThreads() { return 1; }
