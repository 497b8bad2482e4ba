// What parallel encoding needs of the system: a lock, a counting semaphore
// and threads, implemented per platform (platform/posix with pthreads,
// platform/win32 with the Win32 API, since the Windows build's runtime has
// no std::thread). Failures to create them are not recoverable here and end
// the program; a thread that cannot be started is reported, so that the
// caller can go on with fewer.
#pragma once

// What a worker thread runs. It must not let an exception out: a thread has
// nobody to catch it.
class ThreadWork {
 public:
  virtual void Run() noexcept = 0;

 protected:
  ~ThreadWork() = default;
};

class Mutex {
 public:
  Mutex();
  virtual ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void Lock();
  void Unlock();

 private:
  struct Native;
  Native* native_;
};

class Semaphore {
 public:
  Semaphore();  // starts at 0
  virtual ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;
  void Wait();  // takes one count, waiting until there is one
  void Post();  // adds one count

 private:
  struct Native;
  Native* native_;
};

class WorkerThread {
 public:
  WorkerThread();
  virtual ~WorkerThread();  // joins the thread if it still runs
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Runs work.Run() on a new thread; false when no thread could be made.
  // The work must outlive the thread.
  bool Start(ThreadWork& work);
  // Waits until the thread has returned (at once if it never started).
  void Join();

 private:
  struct Native;
  Native* native_;
};

// How many threads the machine runs at once (at least 1).
int HardwareThreads();
