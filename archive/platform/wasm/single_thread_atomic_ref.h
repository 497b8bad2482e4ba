// WebAssembly (forced into every source of that build): the module runs on
// one thread, and its libc++ (14) has no std::atomic_ref yet. The extractor
// uses it only so that another thread may detach the progress target; with
// one thread a plain access is the same.
#pragma once

#include <atomic>

#if !defined(__cpp_lib_atomic_ref)
namespace std {

template <class T>
class atomic_ref {
 public:
  explicit atomic_ref(T& value) noexcept : value_(value) {}
  T load(memory_order = memory_order_seq_cst) const noexcept { return value_; }
  void store(T desired, memory_order = memory_order_seq_cst) const noexcept { value_ = desired; }

 private:
  T& value_;
};

}  // namespace std
#endif
