// The desktop window front end. The window itself is drawn by a module
// loaded at run time (kelvod-qt.so, built with Qt Widgets), so that the
// program still starts, in the terminal, on a machine without Qt. This side
// finds and loads the module, converts the program's code page 932 texts
// for display, paces the pump, and hands the window's buttons to
// MainWindow.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/frontends/qt/window_module.h"
#include "app/main_window.h"

// True when a desktop session is there to show a window in (DISPLAY or
// WAYLAND_DISPLAY is set).
bool DesktopDisplayAvailable();

// Where the module is looked for, in this order: next to the program, in
// the library folder of an installation the program belongs to (bin/.. ),
// in the library folder this build installs to, and in those of the usual
// prefixes (/usr/local, /usr), where the copy on a disk set finds the
// module of whatever kelvod the machine has installed.
std::vector<std::string> WindowModuleCandidates();
// The first candidate that exists; "" and the reason when there is none.
std::string FindWindowModule(std::string& why);
// Extract mode goes on from a temporary copy of the program, whose folder
// holds no module: the original folder is handed to the copy.
void HandOverProgramFolder();

class WindowFrontEnd final : public FrontEnd {
 public:
  // Loads the module and opens the display; nullptr and a one-line reason
  // when either fails. The module stays loaded for the rest of the process.
  static std::unique_ptr<WindowFrontEnd> Open(const std::string& modulePath, std::string& why);
  ~WindowFrontEnd() override;
  WindowFrontEnd(const WindowFrontEnd&) = delete;
  WindowFrontEnd& operator=(const WindowFrontEnd&) = delete;

  // Shows the main window for the command-line copy (host form) until it is
  // gone; returns the process exit status. leaveStartFolder: once the window
  // is up, leave the start folder so that the disk it is on is free.
  int Run(MainWindow& window, const std::string& hostCommandLine, bool leaveStartFolder = false);

  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override;
  int OverwriteDialog(const std::string& path) override;
  int RetryDialog(const std::string& path, const std::string& reason) override;
  int Pump() override;
  void SetControlText(int id, const std::string& text) override;
  std::string GetControlText(int id) override;
  void EnableControl(int id, bool enabled) override;
  void SetProgressBar(int position) override;
  int BrowseForFolder(const std::string& title, std::string& out) override;
  void DestroyWindow() override;

 private:
  using Clock = std::chrono::steady_clock;
  explicit WindowFrontEnd(const KvWindowInterface& api);
  static void OnCommand(void* self, int id) noexcept;
  static int OnTick(void* self) noexcept;

  const KvWindowInterface& api_;
  KvWindowSession* session_ = nullptr;
  KvWindowHost host_{};
  std::vector<std::string> textStore_;
  KvWindowTexts texts_{};
  MainWindow* window_ = nullptr;

  // Pump pacing: calls are counted off between two looks at the clock, and
  // Qt gets the pending events once a period of work has passed.
  int pumpInterval_ = 1;
  Clock::time_point lastLook_{};
  Clock::time_point lastEvents_{};
};
