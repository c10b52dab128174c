// Progress bar, percentage and the two status lines of the main window.
#pragma once

#include <cstdint>
#include <string>

// The value that counts as 100 percent; never 0.
extern uint32_t ProgressRange;
// The percentage last shown; -1 forces the next update.
extern int32_t LastShownPercent;

void ResetProgress(uint32_t range);

// Values in [g_progressLow, g_progressLow + g_progressSpan) give the
// percentage already shown, so the common path of SetProgress is one
// subtraction and one compare.
extern uint32_t g_progressLow;
extern uint64_t g_progressSpan;
void SetProgressSlow(uint32_t value);
inline void SetProgress(uint32_t value) {
  if (static_cast<uint32_t>(value - g_progressLow) < g_progressSpan) return;
  SetProgressSlow(value);
}

// The percentage the display shows for value: value / ProgressRange * 100
// in double precision, truncated, at most 999.
int32_t ProgressPercent(uint32_t value);

void ShowCurrentFile(const std::string& path);  // "to" line
void ShowSourceLine(const std::string& text);   // "from" line
