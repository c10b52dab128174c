// The main window's logic, front-end neutral: start-up initialisation, its
// commands, and the clean-up when it is destroyed. A front end shows it and
// hands it the commands of its buttons.
#pragma once

#include <cstdint>
#include <string>

#include "app/dialogue/dialogue.h"
#include "runs/run_handler.h"

// The command-line copy: the arguments after the options, joined with
// single blanks, without the blanks at its start. Blanks only make it empty.
std::string CommandLineCopy(int argc, char** argv, int first);

struct MainWindowTexts {
  const char* caption;
  const char* sourceLabel;
  const char* destinationLabel;
};
// The caption and the two labels of the window for the run mode.
MainWindowTexts MainWindowTextsFor(int32_t runMode);

class MainWindow {
 public:
  MainWindow(Dialogue& ui, RunHandler& runs);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates and initialises the window for a command-line copy in the
  // host's form (non-empty: make mode with that work folder; empty: extract
  // mode). Returns false when a start-up failure has destroyed the window
  // again; the user has then been told why and the clean-up is done.
  bool Start(const std::string& hostCommandLine);
  // The same for a command-line copy already in the program's own form.
  bool Init(const std::string& commandLine);

  // Command identifiers as the window's buttons send them: 1 Run, 2 Exit,
  // 3 Abort, 1005 Browse. Commands of disabled controls are ignored.
  void Command(int id);
  // Destroys the window: the clean-up, then the front end ends it.
  void Destroy();
  bool Closed() const { return ui_.MainWindowClosed(); }

  // The process exit status once the window is gone: 1 after a start-up
  // failure, 2 when the last Run did not end normally, otherwise 0.
  int ExitStatus() const;

  Dialogue& ui() { return ui_; }
  RunState& state() { return ui_.state(); }

 private:
  bool FailStart(const std::string& text);
  bool ReadListAtStart();
  void CleanUp();

  Dialogue& ui_;
  RunHandler& runs_;
  bool cleanedUp_ = true;
  bool startFailed_ = false;
  bool lastRunFailed_ = false;
};
