// The runs' events shown as the program's dialogs: each event becomes the
// message box, prompt, status line or progress display the program has
// always shown for it, with its texts, caption and style. The window, the
// terminal and the tests' scripted front end stand behind the dialogue.
#pragma once

#include <string>

#include "app/dialogue/dialogue.h"
#include "runs/events.h"

class DialogueEvents final : public RunEvents {
 public:
  // title: the game's title, for the disk messages.
  DialogueEvents(Dialogue& ui, const std::string& title) : ui_(ui), title_(title) {}

  void FolderBegun(const std::string& pattern) override;
  void FileBegun(const std::string& path, const std::string& name) override;
  void DiskBegun(int32_t number) override;
  void Planned(uint64_t, uint64_t) override {}
  void CannotBegin(const std::vector<Finding>& findings) override;
  void ProblemMet(const Problem& problem) override;
  void WarningsAtEnd(const RunWarnings& warnings) override;
  void FileDone(const std::string&, int, int32_t) override {}
  void Finished(bool normally) override;
  void Trace(const char* marker) override;
  bool DiskWanted(int32_t number, bool again) override;
  bool FileWanted(const std::string& path, WantReason why) override;
  bool RetryWanted(const std::string& path, RetryReason why, int error) override;
  OverwriteAnswer OverwriteWanted(const std::string& path) override;
  ProgressWindow ResetProgress(uint32_t total) override;
  ProgressWindow SetProgress(uint32_t value) override;
  int Pump() override;

 private:
  Dialogue& ui_;
  const std::string& title_;
};

// The message text of a problem (code page 932), as the dialogs show it.
std::string ProblemText(const Problem& problem);
