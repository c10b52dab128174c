// The token that stops a run: set from above (the Abort button, Ctrl-C, a
// request to end the program), passed down and looked at by every loop that
// may run for long. Another thread may set it.
#pragma once

#include <atomic>

class CancelToken {
 public:
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  void Reset() { cancelled_.store(false, std::memory_order_relaxed); }
  bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancelled_{false};
};
