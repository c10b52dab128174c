// A front end for tests: answers dialogs from a queue and records every
// dialog, status line, percentage and trace marker.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/dialogue/frontend.h"

struct RecordedDialog {
  enum Kind { kMessage, kOverwrite, kRetry, kBrowse } kind;
  std::string text;     // message text, or the file name of a prompt
  std::string caption;  // message caption; the reason of a retry prompt
  unsigned style = 0;
  int answer = 0;
};

class ScriptedFrontEnd : public FrontEnd {
 public:
  // What the Abort button does (clearWorkActiveAfterPumps and the dialog
  // cap press it): the rig stops the run under way.
  std::function<void()> abort;

  // Answers (button identifiers) handed out in order to the dialogs. When
  // the queue is empty a dialog is answered as Escape (OK-only boxes: OK).
  std::deque<int> answers;
  // Called before a dialog is answered (for example to change the disk in
  // the drive between a prompt and its Retry). Gets the dialog as recorded.
  std::function<void(const RecordedDialog&)> onDialog;
  // After this many Pump calls, WorkActive is cleared (-1: never).
  int clearWorkActiveAfterPumps = -1;
  // Called on every Pump (after the countdown above is handled).
  std::function<void()> onPump;
  // A run that asks more than this many dialogs is looping: the test fails
  // with the dialog it could not answer, and the run is stopped.
  std::size_t maxDialogs = 400;

  std::vector<RecordedDialog> dialogs;
  std::vector<std::string> fromLines, toLines, percentTexts, traces;
  std::vector<int> barPositions;
  std::map<int, std::string> controlTexts;
  std::map<int, bool> enabled;
  int pumpCalls = 0;
  bool destroyed = false;
  std::deque<std::string> browseAnswers;  // "" cancels

  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override;
  int OverwriteDialog(const std::string& path) override;
  int RetryDialog(const std::string& path, const std::string& reason) override;
  int Pump() override;
  void SetControlText(int id, const std::string& text) override;
  std::string GetControlText(int id) override;
  void EnableControl(int id, bool on) override;
  void SetProgressBar(int position) override;
  void Trace(const char* marker) override;
  int BrowseForFolder(const std::string& title, std::string& out) override;
  void DestroyWindow() override;

  // The texts of all message dialogs, in order (code page 932).
  std::vector<std::string> MessageTexts() const;

 private:
  int Answer(RecordedDialog d, int escape);
  void Abort() {
    if (abort) abort();
  }
};
