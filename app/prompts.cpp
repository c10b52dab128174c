#include "app/prompts.h"

#include <algorithm>

#include "app/frontend.h"

int32_t WorkActive = 0;
int32_t OverwriteChoice = 0;
std::atomic<int> g_pumpCountdown{0};

namespace {

// Both prompts share one answer table: the button identifier decides.
void StorePromptAnswer(int id) {
  switch (id) {
    case 1:
      OverwriteChoice = 1;
      break;
    case 2:
      OverwriteChoice = 0;
      break;
    case 3:
      OverwriteChoice = -1;
      break;
    case 4:
      WorkActive = 0;
      break;
    default:
      // Anything else is what Escape sends.
      OverwriteChoice = 0;
      break;
  }
}

}  // namespace

int ShowMessage(const std::string& text, const std::string& caption, unsigned style) {
  return CurrentFrontEnd().MessageDialog(text, caption, style);
}

int PromptOverwrite(const std::string& path) {
  StorePromptAnswer(CurrentFrontEnd().OverwriteDialog(path));
  return OverwriteChoice;
}

int PromptRetry(const std::string& path, const std::string& reason) {
  int id = CurrentFrontEnd().RetryDialog(path, reason);
  // The retry prompt has only Retry (1) and Abort (2).
  StorePromptAnswer(id == 1 ? 1 : 2);
  return OverwriteChoice;
}

void StopRun() {
  WorkActive = 0;
  PumpOneMessage();
}

void Trace(const char* marker) { CurrentFrontEnd().Trace(marker); }

void PumpSlow() {
  int next = CurrentFrontEnd().Pump();
  g_pumpCountdown.store(std::max(next, 1), std::memory_order_relaxed);
}
