// Forced into every GoogleTest compilation of the win32 build. GCC 12's win32
// thread model has no std::mutex or std::condition_variable, which GoogleTest
// names for its Notification helper. That helper serves only GoogleTest's own
// self-tests; these stand-ins let the headers compile and are correct, if not
// efficient (the wait spins), should anything ever use them.
#pragma once
#if defined(__MINGW32__) && defined(__cplusplus) && !defined(_GLIBCXX_HAS_GTHREADS)
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace std {
class mutex {
 public:
  mutex() = default;
  mutex(const mutex&) = delete;
  mutex& operator=(const mutex&) = delete;
  void lock() {
    while (flag_.test_and_set(memory_order_acquire)) {
    }
  }
  bool try_lock() { return !flag_.test_and_set(memory_order_acquire); }
  void unlock() { flag_.clear(memory_order_release); }

 private:
  atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

class condition_variable {
 public:
  void notify_one() {}
  void notify_all() {}
  template <class Predicate>
  void wait(unique_lock<mutex>& lock, Predicate ready) {
    while (!ready()) {
      lock.unlock();
      lock.lock();
    }
  }
};
}  // namespace std
#endif
