// What the coders need from the program around them: progress, a look at
// the front end now and then, and whether the run is to stop. The caller
// hands them in; the common path of each is inline and costs a compare.
#pragma once

#include <climits>
#include <cstdint>

class CoderHooks {
 public:
  virtual ~CoderHooks() = default;

  // After every code: the amount done so far.
  void SetProgress(uint32_t value) {
    if (static_cast<uint32_t>(value - progressLow_) < progressSpan_) return;
    ProgressChanged(value);
  }
  // After every code: lets the front end handle one pending event now and then.
  void PumpOneMessage() {
    if (--pumpLeft_ <= 0) Pump();
  }
  // True once the run is to stop (WorkActive 0). The flag only changes
  // while the front end is asked, so it is looked at then.
  bool Stopped() const { return stopped_; }
  virtual void ResetProgress(uint32_t range) = 0;

 protected:
  CoderHooks() = default;
  // A value outside [progressLow_, progressLow_ + progressSpan_): show it and
  // set the interval of values that need no report.
  virtual void ProgressChanged(uint32_t value) = 0;
  // Sets pumpLeft_ to the number of calls before the next look, and
  // stopped_.
  virtual void Pump() = 0;

  uint32_t progressLow_ = 0;
  uint64_t progressSpan_ = 0;
  int pumpLeft_ = 0;
  bool stopped_ = false;
};

// For callers without a window (benchmarks, fuzzers): no progress, no
// front end, never stopped.
class QuietCoderHooks : public CoderHooks {
 public:
  QuietCoderHooks() { Quiet(); }
  void ResetProgress(uint32_t) override { Quiet(); }

 protected:
  void ProgressChanged(uint32_t) override { Quiet(); }
  void Pump() override { pumpLeft_ = INT_MAX; }

 private:
  void Quiet() {
    progressLow_ = 0;
    progressSpan_ = uint64_t{1} << 32;
    pumpLeft_ = INT_MAX;
  }
};
