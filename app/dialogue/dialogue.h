// The dialogs of the program: message boxes, the overwrite and retry
// prompts, progress and status lines, and the busy and idle states of the
// main window. Front-end neutral: every operation goes to the FrontEnd
// attached.
#pragma once

#include <cstdint>
#include <string>

#include "app/dialogue/frontend.h"

class Dialogue {
 public:
  // Without a front end every dialog is answered as Escape would.
  explicit Dialogue(FrontEnd* frontEnd = nullptr);
  Dialogue(const Dialogue&) = delete;
  Dialogue& operator=(const Dialogue&) = delete;

  void Attach(FrontEnd* frontEnd);  // nullptr: the do-nothing front end
  FrontEnd& frontEnd() { return *frontEnd_; }

  // Message box owned by the main window; returns 1 (OK) or 2 (Cancel).
  int ShowMessage(const std::string& text, const std::string& caption, unsigned style);
  // Overwrite prompt: the button pressed (kButtonOverwrite, kButtonOverwriteAll,
  // kButtonSkip for Skip and Escape, kButtonOverwriteAbort).
  int PromptOverwrite(const std::string& path);
  // Retry prompt: true after Retry, false after Abort (and Escape).
  bool PromptRetry(const std::string& path, const std::string& reason);
  void Trace(const char* marker);
  // Lets the front end handle one pending event; returns how many further
  // pump calls may pass before it wants to be asked again.
  int Pump();

  // Progress: the bar and the percentage text of the main window.
  void ResetProgress(uint32_t range);
  void SetProgress(uint32_t value) {
    if (static_cast<uint32_t>(value - progressLow_) < progressSpan_) return;
    SetProgressSlow(value);
  }
  void SetProgressSlow(uint32_t value);
  // The percentage the display shows for value: value / ProgressRange * 100
  // in double precision, truncated, at most 999.
  int32_t ProgressPercent(uint32_t value) const;
  uint32_t ProgressRange() const { return progressRange_; }
  int32_t LastShownPercent() const { return lastShownPercent_; }
  // Values in [progressLow, progressLow + progressSpan) show the percentage
  // already shown, so SetProgress can pass them over.
  uint32_t progressLow() const { return progressLow_; }
  uint64_t progressSpan() const { return progressSpan_; }

  void ShowCurrentFile(const std::string& path);  // "to" line
  void ShowSourceLine(const std::string& text);   // "from" line

  // Busy: only Abort is enabled. Idle: everything but Abort.
  void EnterBusyState();
  void EnterIdleState();
  bool Busy() const { return busy_; }
  // How often EnterBusyState has been called (a run got past its checks).
  int32_t BusyStateCount() const { return busyCount_; }

  // The main window: a run that ended normally destroys it, which ends the
  // program.
  void CloseMainWindow();
  bool MainWindowClosed() const { return windowClosed_; }
  void MainWindowOpened() { windowClosed_ = false; }

 private:
  // The smallest value whose percentage is percent or more (2^32 if none).
  uint64_t FirstValueShowing(int32_t percent) const;

  FrontEnd* frontEnd_;
  uint32_t progressRange_ = 1;
  int32_t lastShownPercent_ = -1;
  uint32_t progressLow_ = 0;
  uint64_t progressSpan_ = 0;
  bool busy_ = false;
  int32_t busyCount_ = 0;
  bool windowClosed_ = false;
};
