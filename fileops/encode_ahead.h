// Encoding the next files of a make run ahead, on threads of their own, into
// temporary files, while the main thread places the current one on the disk.
//
// The encoder keeps one thing from one file to the next: the window tail
// (codec/encoder.h), which follows from the files' bytes alone. The files
// the walk will pack come from a plan (the same walk without packing); the
// tail each one starts from is worked out from the ends of the files before
// it, so several can be encoded at once. The main thread takes a file's
// result only when it was encoded from the very tail the main thread's own
// encode would have started from, and encodes the file itself otherwise (a
// file changed meanwhile, a read problem, a plan that went another way): the
// output is byte for byte that of encoding one file after the other. Nothing
// here talks to the user; every prompt, list line and disk file stays with
// the main thread, in its order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#if !defined(_WIN32)
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>
#endif

#include "codec/context.h"
#include "codec/encoder.h"
#include "platform/platform.h"

// The files a make run's walk will pack, in its order.
class AheadPlan {
 public:
  virtual ~AheadPlan() = default;
  // The next file: its full path and its name relative to the work folder.
  // False after the last one, or where the walk would stop. Called by one
  // thread at a time.
  virtual bool Next(std::string& source, std::string& relative) = 0;
};

// What the main thread's wait for a file encoded ahead needs from its run:
// a look at the outside now and then, and whether the run was stopped.
class AheadWaiter {
 public:
  virtual ~AheadWaiter() = default;
  virtual void PumpNow() = 0;
  virtual bool Stopped() = 0;
};

class EncodeAhead {
 public:
  // Files encoded ahead at most: their number and their bytes (one file
  // beyond the current one is always allowed); files planned ahead at most.
  static constexpr std::size_t kMaxFilesAhead = 16;
  static constexpr int64_t kMaxBytesAhead = 64 << 20;
  static constexpr std::size_t kMaxPlanned = 64;

  // threads: how many threads besides the main one encode (at least 1).
  // start: the tail the main thread's next encode starts from.
  EncodeAhead(int threads, std::unique_ptr<AheadPlan> plan, const WindowTail& start);
  // Stops the threads at once and deletes every temporary file not taken.
  ~EncodeAhead();
  EncodeAhead(const EncodeAhead&) = delete;
  EncodeAhead& operator=(const EncodeAhead&) = delete;

  enum class Taken {
    kNo,       // not encoded ahead (or not usable): the caller encodes it
    kYes,      // codec holds what EncodeStream would have left; tempPath is the file
    kAborted,  // the run was stopped while waiting
  };
  // For the file source with relative name `relative`, about to be encoded
  // with codec. Waits for an encode under way, letting the front end run
  // and encoding later files meanwhile. The caller deletes tempPath.
  Taken Take(const std::string& source, const std::string& relative, CodecContext& codec,
             AheadWaiter& waiter, std::string& tempPath);

 private:
#if defined(_WIN32)
  // The Windows build runs on one thread (encode_ahead_win32.cpp): nothing
  // is encoded ahead there.
#else
  struct Job {
    std::string source, relative;
    bool encode = false;  // the plan: the file is compressed (not copied, not empty)
    int64_t length = 0;
    plat::FileStamp stamp;  // the file when its encode began
    WindowTail start{};     // the tail it is encoded from
    enum State { kPlanned, kEncoding, kDone } state = kPlanned;
    bool dropped = false;  // passed while being encoded: the encoder deletes its file
    int result = -1;
    std::string temp;
    LzsHeader header{};
    WindowTail end{};
    int32_t originalCount = 0, packedCount = 0;
  };
  using JobPtr = std::shared_ptr<Job>;

  void Work();
  // The next planned file to encode within the limits, or nullptr.
  JobPtr NextToEncode();
  bool CanPlan() const { return !planDone_ && !planning_ && jobs_.size() < kMaxPlanned; }
  // Plans one more file; the lock is released during its reads.
  void PlanOne(std::unique_lock<std::mutex>& lock);
  // Encodes job with c (outside the lock); hooks decide when it stops.
  static void Encode(Job& job, CodecContext& c, CoderHooks& hooks);
  void Finish(const JobPtr& job);
  void Discard(const JobPtr& job);
  // Lets the front end run for a moment while others work.
  void WaitPumping(std::unique_lock<std::mutex>& lock, AheadWaiter& waiter);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<JobPtr> jobs_;  // planned, not yet passed by the main thread, in order
  std::unique_ptr<AheadPlan> plan_;
  WindowTail planTail_;  // the tail after the last file planned
  bool planDone_ = false;
  bool planning_ = false;
  std::atomic<bool> stop_{false};
  CodecContextPtr helper_;  // the main thread's, for encoding ahead while it waits
  std::vector<std::thread> threads_;
#endif
};
