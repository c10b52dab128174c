// The main window's logic, front-end neutral: start-up initialisation, its
// commands, and the clean-up when it is destroyed. A front end shows it and
// hands it the commands of its buttons.
#pragma once

#include <cstdint>
#include <string>

#include "app/dialogue/dialogue.h"
#include "codec/cancel.h"
#include "runs/run_handler.h"

// The command-line copy: the arguments after the options, joined with
// single blanks, without the blanks at its start. Blanks only make it empty.
std::string CommandLineCopy(int argc, char** argv, int first);

// What the main window holds between runs: the mode it was started in, the
// folders of its two fields, the title, the temporary list of a make run and
// the list of the set an extract run follows.
struct WindowState {
  int32_t RunMode = ExtractMode;
  std::string StartDir;           // current folder at start-up
  std::string Title;              // the game's title
  std::string SourceFolder;       // mirrors the source field
  std::string DestinationFolder;  // mirrors the destination field
  std::string ListTempPath;       // temporary list file of a make run
  std::string TempFolder;         // system temporary folder at start-up
  bool ListBufferPresent = false;
  std::string ListBuffer;  // extract mode: the whole list text (LF line ends)
};

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
  // The Run button: checks the two fields, asks for confirmation, runs.
  void RunCommand();
  // Destroys the window: the clean-up, then the front end ends it.
  void Destroy();
  bool Closed() const { return ui_.MainWindowClosed(); }
  // The start failed because the current folder holds no list.
  bool ListMissing() const { return listMissing_; }

  // The process exit status once the window is gone: 1 after a start-up
  // failure, 2 when the last Run did not end normally, otherwise 0.
  int ExitStatus() const;

  Dialogue& ui() { return ui_; }
  WindowState& state() { return state_; }
  // What the last run came to (its warnings and tally).
  const RunProgress& lastRun() const { return progress_; }
  // Threads that encode in a make run.
  void SetJobs(int jobs) { jobs_ = jobs < 1 ? 1 : jobs; }
  // Stops the run under way as Abort does, without asking (a request to end
  // the program).
  void StopRun() { cancel_.Cancel(); }
  // Whether the run under way was told to stop (Abort confirmed).
  bool StopRequested() const { return cancel_.Cancelled(); }

 private:
  bool FailStart(const std::string& text);
  bool ReadListAtStart();
  void CleanUp();

  Dialogue& ui_;
  RunHandler& runs_;
  WindowState state_;
  RunProgress progress_;
  CancelToken cancel_;
  int jobs_ = 1;
  bool cleanedUp_ = true;
  bool startFailed_ = false;
  bool listMissing_ = false;
  bool lastRunFailed_ = false;
};
