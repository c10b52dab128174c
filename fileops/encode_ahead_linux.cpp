#include <chrono>
#include <cstdio>

#include "codec/byte_io.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "fileops/encode_ahead.h"
#include "platform/platform.h"

namespace {

// Codes between two looks at the stop flag: well under a millisecond.
constexpr int kCodesBetweenLooks = 4096;

// Quiet, and stopped once the flag is set.
class FlagHooks final : public CoderHooks {
 public:
  explicit FlagHooks(const std::atomic<bool>& stop) : stop_(stop) { Quiet(); }
  void ResetProgress(uint32_t) override { Quiet(); }

 private:
  void ProgressChanged(uint32_t) override { Quiet(); }
  void Pump() override {
    pumpLeft_ = kCodesBetweenLooks;
    stopped_ = stop_.load(std::memory_order_relaxed);
  }
  void Quiet() {
    progressLow_ = 0;
    progressSpan_ = uint64_t{1} << 32;
    pumpLeft_ = kCodesBetweenLooks;
  }
  const std::atomic<bool>& stop_;
};

// The main thread's while it encodes ahead: no progress (the bar belongs to
// the file it waits for), but the outside is looked at as during any
// encode, and a stopped run stops it.
class HelperHooks final : public CoderHooks {
 public:
  explicit HelperHooks(AheadWaiter& waiter) : waiter_(waiter) { Quiet(); }
  void ResetProgress(uint32_t) override { Quiet(); }

 private:
  void ProgressChanged(uint32_t) override { Quiet(); }
  void Pump() override {
    waiter_.PumpNow();
    pumpLeft_ = kCodesBetweenLooks;
    stopped_ = waiter_.Stopped();
  }
  void Quiet() {
    progressLow_ = 0;
    progressSpan_ = uint64_t{1} << 32;
    pumpLeft_ = kCodesBetweenLooks;
  }
  AheadWaiter& waiter_;
};

// Reads n bytes at offset into out; false when fewer came.
bool ReadAt(std::FILE* f, int64_t offset, std::size_t n, std::string& out) {
  out.resize(n);
  return plat::SeekTo(f, offset) && std::fread(out.data(), 1, n, f) == n;
}

}  // namespace

EncodeAhead::EncodeAhead(int threads, std::unique_ptr<AheadPlan> plan, const WindowTail& start)
    : plan_(std::move(plan)), planTail_(start) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

EncodeAhead::~EncodeAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
  for (const JobPtr& job : jobs_)
    if (!job->temp.empty()) plat::RemoveFile(job->temp);
}

void EncodeAhead::Work() {
  CodecContextPtr c = NewCodecContext();
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (JobPtr job = NextToEncode()) {
      job->state = Job::kEncoding;
      lock.unlock();
      FlagHooks hooks(stop_);
      Encode(*job, *c, hooks);
      lock.lock();
      Finish(job);
    } else if (CanPlan()) {
      PlanOne(lock);
    } else {
      changed_.wait(lock);
    }
  }
}

EncodeAhead::JobPtr EncodeAhead::NextToEncode() {
  int64_t bytes = 0;
  bool first = true;
  for (std::size_t i = 0; i < jobs_.size() && i < kMaxFilesAhead; ++i) {
    const JobPtr& job = jobs_[i];
    if (!job->encode) continue;
    bytes += job->length;
    if (!first && bytes > kMaxBytesAhead) return nullptr;
    first = false;
    if (job->state == Job::kPlanned) return job;
  }
  return nullptr;
}

void EncodeAhead::PlanOne(std::unique_lock<std::mutex>& lock) {
  planning_ = true;
  lock.unlock();
  auto job = std::make_shared<Job>();
  const bool more = plan_->Next(job->source, job->relative);
  std::string head, end;
  if (more) {
    // What PackFile will find: a file it compresses, or one it copies as it
    // is (or cannot read, or finds empty), which leaves the tail alone.
    if (std::FILE* f = plat::OpenFile(job->source, "rb")) {
      job->length = plat::FileLength(f);
      LzsHeader h;
      const bool signature = ReadHeader(f, h) && HasSignatureNoCase(h);
      job->encode = job->length > 0 && job->length <= kLargestStorable &&
                    !CopiedAsIs(h, signature, job->length, false);
      const int64_t endStart = TailEndStart(job->length);
      if (job->encode &&
          !(ReadAt(f, 0, static_cast<std::size_t>(std::min<int64_t>(job->length, kLookAhead)),
                   head) &&
            ReadAt(f, endStart,
                   static_cast<std::size_t>(std::max<int64_t>(0, job->length - endStart)), end)))
        job->encode = false;  // the main thread meets the problem when it gets there
      std::fclose(f);
    }
  }
  lock.lock();
  planning_ = false;
  if (!more) {
    planDone_ = true;
  } else {
    job->start = planTail_;
    if (job->encode) AdvanceTail(planTail_, head, job->length, end);
    jobs_.push_back(std::move(job));
  }
  changed_.notify_all();
}

void EncodeAhead::Encode(Job& job, CodecContext& c, CoderHooks& hooks) {
  SetTail(c, job.start);
  job.result = kSourceUnreadable;
  // Taken before the first read: a change during the encode shows too.
  if (!plat::GetFileStamp(job.source, job.stamp)) return;
  std::FILE* in = plat::OpenFile(job.source, "rb");
  if (!in) return;
  job.temp = plat::MakeTempFile(plat::TempFolder(), "_lzs");
  // Made empty; not truncated (see PackFile).
  std::FILE* out = job.temp.empty() ? nullptr : plat::OpenFile(job.temp, "r+b");
  int r = kTempCreateFailed;
  if (out) {
    {
      FileSource from(in);
      FileSink to(out);
      r = EncodeStream(c, from, to, job.relative, hooks);
    }
    if (std::fclose(out) != 0 && r == kDone) r = kWriteFailed;
  }
  std::fclose(in);
  if (r != kDone && !job.temp.empty()) {
    plat::RemoveFile(job.temp);
    job.temp.clear();
  }
  job.result = r;
  job.header = c.header;
  job.end = TailOf(c);
  job.originalCount = c.originalCount;
  job.packedCount = c.packedCount;
}

void EncodeAhead::Finish(const JobPtr& job) {
  job->state = Job::kDone;
  if (job->dropped && !job->temp.empty()) {
    plat::RemoveFile(job->temp);
    job->temp.clear();
  }
  changed_.notify_all();
}

void EncodeAhead::Discard(const JobPtr& job) {
  if (job->state == Job::kEncoding) {
    job->dropped = true;
  } else if (!job->temp.empty()) {
    plat::RemoveFile(job->temp);
    job->temp.clear();
  }
}

void EncodeAhead::WaitPumping(std::unique_lock<std::mutex>& lock, AheadWaiter& waiter) {
  changed_.wait_for(lock, std::chrono::milliseconds(2));
  lock.unlock();
  waiter.PumpNow();
  lock.lock();
}

EncodeAhead::Taken EncodeAhead::Take(const std::string& source, const std::string& relative,
                                     CodecContext& codec, AheadWaiter& waiter,
                                     std::string& tempPath) {
  std::unique_lock<std::mutex> lock(mutex_);
  JobPtr job;
  for (;;) {
    if (waiter.Stopped()) return Taken::kAborted;
    // Files of the plan before this one were packed without an encode
    // (copied, empty) or not at all: passed.
    while (!jobs_.empty() &&
           (jobs_.front()->source != source || jobs_.front()->relative != relative)) {
      Discard(jobs_.front());
      jobs_.pop_front();
      changed_.notify_all();
    }
    if (!jobs_.empty()) {
      job = jobs_.front();
      break;
    }
    if (planDone_) return Taken::kNo;  // the walk went another way
    if (!planning_)
      PlanOne(lock);
    else
      WaitPumping(lock, waiter);
  }

  while (job->state == Job::kEncoding) {
    if (waiter.Stopped()) return Taken::kAborted;
    if (JobPtr other = NextToEncode()) {
      // Rather than wait: a later file, as the other threads do.
      other->state = Job::kEncoding;
      lock.unlock();
      if (!helper_) helper_ = NewCodecContext();
      {
        HelperHooks hooks(waiter);
        Encode(*other, *helper_, hooks);
      }
      lock.lock();
      Finish(other);
    } else if (CanPlan()) {
      PlanOne(lock);
    } else {
      WaitPumping(lock, waiter);
    }
  }
  jobs_.pop_front();
  changed_.notify_all();
  if (job->state != Job::kDone) return Taken::kNo;  // the caller encodes it
  plat::FileStamp now;
  if (job->result != kDone || job->start != TailOf(codec) || !plat::GetFileStamp(source, now) ||
      now != job->stamp || job->header.original_size != now.length) {
    // Not what the main thread's encode would give (or the file changed
    // since): it encodes the file itself and meets any problem in its
    // place, as without threads.
    if (!job->temp.empty()) plat::RemoveFile(job->temp);
    return Taken::kNo;
  }
  codec.header = job->header;
  SetTail(codec, job->end);
  codec.originalCount = job->originalCount;
  codec.packedCount = job->packedCount;
  tempPath = job->temp;
  return Taken::kYes;
}
