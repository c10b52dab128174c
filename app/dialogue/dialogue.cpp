#include "app/dialogue/dialogue.h"

#include <algorithm>
#include <cstdio>

namespace {

// Answers every dialog as Escape would; shared, since it has no state.
FrontEnd& IdleFrontEnd() {
  static FrontEnd idle;
  return idle;
}

}  // namespace

Dialogue::Dialogue(FrontEnd* frontEnd) : frontEnd_(frontEnd ? frontEnd : &IdleFrontEnd()) {}

void Dialogue::Attach(FrontEnd* frontEnd) { frontEnd_ = frontEnd ? frontEnd : &IdleFrontEnd(); }

int Dialogue::ShowMessage(const std::string& text, const std::string& caption, unsigned style) {
  return frontEnd_->MessageDialog(text, caption, style);
}

int Dialogue::PromptOverwrite(const std::string& path) {
  switch (int id = frontEnd_->OverwriteDialog(path)) {
    case kButtonOverwrite:
    case kButtonOverwriteAll:
    case kButtonOverwriteAbort:
      return id;
    default:  // Skip, and anything else (what Escape sends)
      return kButtonSkip;
  }
}

bool Dialogue::PromptRetry(const std::string& path, const std::string& reason) {
  // The retry prompt has only Retry and Abort.
  return frontEnd_->RetryDialog(path, reason) == kButtonRetry;
}

void Dialogue::Trace(const char* marker) { frontEnd_->Trace(marker); }

int Dialogue::Pump() { return std::max(frontEnd_->Pump(), 1); }

int32_t Dialogue::ProgressPercent(uint32_t value) const {
  double percent = static_cast<double>(value) / static_cast<double>(progressRange_) * 100.0;
  if (percent >= 999.0) return 999;
  return static_cast<int32_t>(percent);
}

void Dialogue::ResetProgress(uint32_t range) {
  progressRange_ = range == 0 ? 1 : range;
  frontEnd_->SetProgressBar(0);
  lastShownPercent_ = -1;
  progressLow_ = 0;
  progressSpan_ = 0;
  SetProgress(0);
}

uint64_t Dialogue::FirstValueShowing(int32_t percent) const {
  if (percent <= 0) return 0;
  // Near percent * range / 100; the rounding of the division in doubles
  // puts the boundary at most a value or two away.
  uint64_t v = static_cast<uint64_t>(static_cast<double>(percent) * progressRange_ / 100.0);
  v = std::min<uint64_t>(v, 0xFFFFFFFFull);
  while (v > 0 && ProgressPercent(static_cast<uint32_t>(v - 1)) >= percent) --v;
  while (v <= 0xFFFFFFFFull && ProgressPercent(static_cast<uint32_t>(v)) < percent) ++v;
  return v;
}

void Dialogue::SetProgressSlow(uint32_t value) {
  const int32_t percent = ProgressPercent(value);
  // The percentage never falls as the value grows, so the values that show
  // the same percentage as `value` form one interval.
  const uint64_t lo = FirstValueShowing(percent);
  const uint64_t end = percent >= 999 ? uint64_t{1} << 32 : FirstValueShowing(percent + 1);
  progressLow_ = static_cast<uint32_t>(lo);
  progressSpan_ = end - lo;

  if (percent == lastShownPercent_) return;
  lastShownPercent_ = percent;
  char text[16];
  std::snprintf(text, sizeof text, "%3d%%", static_cast<int>(percent));
  frontEnd_->SetControlText(kPercentText, text);
  frontEnd_->SetProgressBar(std::min<int32_t>(percent, 100));
}

void Dialogue::ShowCurrentFile(const std::string& path) {
  frontEnd_->SetControlText(kToLine, path);
}

void Dialogue::ShowSourceLine(const std::string& text) {
  frontEnd_->SetControlText(kFromLine, text);
}

void Dialogue::EnterBusyState() {
  ++busyCount_;
  for (int id : kBusyIdleControls) frontEnd_->EnableControl(id, false);
  frontEnd_->EnableControl(kIdAbort, true);
  busy_ = true;
}

void Dialogue::EnterIdleState() {
  for (int id : kBusyIdleControls) frontEnd_->EnableControl(id, true);
  frontEnd_->EnableControl(kIdAbort, false);
  busy_ = false;
}

void Dialogue::CloseMainWindow() {
  if (windowClosed_) return;
  windowClosed_ = true;
  frontEnd_->DestroyWindow();
}
