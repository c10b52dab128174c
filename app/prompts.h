// User dialogue of the work: message boxes, the overwrite and retry
// prompts, the run flag and the message pump. Front-end neutral.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// 1 while a run is in progress; 0 when idle and as soon as the run is to stop.
extern int32_t WorkActive;
// The last answer given in either modal prompt: 1, 0 or -1.
extern int32_t OverwriteChoice;

// Message box owned by the main window; returns 1 (OK) or 2 (Cancel).
int ShowMessage(const std::string& text, const std::string& caption, unsigned style);
// Overwrite prompt: returns OverwriteChoice (1 overwrite, -1 all, 0 skip);
// its Abort clears WorkActive and leaves OverwriteChoice as it was.
int PromptOverwrite(const std::string& path);
// Retry prompt: returns OverwriteChoice, 1 after Retry, 0 after Abort.
int PromptRetry(const std::string& path, const std::string& reason);
// WorkActive = 0, then PumpOneMessage.
void StopRun();
void Trace(const char* marker);

// Pump calls left before the front end is asked again. A front end (or a
// signal handler) sets it to 0 to be asked at the next pump.
extern std::atomic<int> g_pumpCountdown;
void PumpSlow();
// Lets the front end handle one pending event. Called after every code of
// the coders, so the common path is a decrement and a compare.
inline void PumpOneMessage() {
  int left = g_pumpCountdown.load(std::memory_order_relaxed) - 1;
  g_pumpCountdown.store(left, std::memory_order_relaxed);
  if (left <= 0) PumpSlow();
}
