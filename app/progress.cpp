#include "app/progress.h"

#include <algorithm>
#include <cstdio>

#include "app/frontend.h"

uint32_t ProgressRange = 1;
int32_t LastShownPercent = -1;
uint32_t g_progressLow = 0;
uint64_t g_progressSpan = 0;

int32_t ProgressPercent(uint32_t value) {
  double percent = static_cast<double>(value) / static_cast<double>(ProgressRange) * 100.0;
  if (percent >= 999.0) return 999;
  return static_cast<int32_t>(percent);
}

namespace {

// The percentage never falls as the value grows, so the values that show
// the same percentage as `value` form one interval; find its ends.
void RememberInterval(uint32_t value, int32_t percent) {
  uint32_t lo = 0, hi = value;  // lowest value with the same percentage
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    if (ProgressPercent(mid) == percent) hi = mid; else lo = mid + 1;
  }
  uint64_t low = lo;
  uint64_t a = value, b = 0xFFFFFFFFull;  // highest value with the same percentage
  while (a < b) {
    uint64_t mid = a + (b - a + 1) / 2;
    if (ProgressPercent(static_cast<uint32_t>(mid)) == percent) a = mid; else b = mid - 1;
  }
  g_progressLow = static_cast<uint32_t>(low);
  g_progressSpan = a - low + 1;
}

}  // namespace

void ResetProgress(uint32_t range) {
  ProgressRange = range == 0 ? 1 : range;
  CurrentFrontEnd().SetProgressBar(0);
  LastShownPercent = -1;
  g_progressLow = 0;
  g_progressSpan = 0;
  SetProgress(0);
}

void SetProgressSlow(uint32_t value) {
  int32_t percent = ProgressPercent(value);
  RememberInterval(value, percent);
  if (percent == LastShownPercent) return;
  LastShownPercent = percent;
  char text[16];
  std::snprintf(text, sizeof text, "%3d%%", static_cast<int>(percent));
  FrontEnd& fe = CurrentFrontEnd();
  fe.SetControlText(kPercentText, text);
  fe.SetProgressBar(std::min<int32_t>(percent, 100));
}

void ShowCurrentFile(const std::string& path) { CurrentFrontEnd().SetControlText(kToLine, path); }

void ShowSourceLine(const std::string& text) { CurrentFrontEnd().SetControlText(kFromLine, text); }
