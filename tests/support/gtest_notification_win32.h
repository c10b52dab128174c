// Forced into every file of the Windows test build before GoogleTest's own
// headers: the Windows compiler's C++ library has no std::mutex or
// std::condition_variable, which GoogleTest's Notification is made of. It
// only serves threads that GoogleTest's own tests start; the test programs
// here run on one thread.
#pragma once

namespace testing::internal {

class Notification {
 public:
  void Notify() {}
  void WaitForNotification() {}
};

}  // namespace testing::internal
