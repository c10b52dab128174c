// The desktop front end on Windows: the main window as a modeless dialog
// (template 110 in make mode, 109 in extract mode), the prompts 108 and 111,
// message boxes, the progress bar and the shell's folder picker.
#pragma once

#include <string>

#include "app/main_window.h"

// Shows the main window for the command-line copy (host form, UTF-8) and
// dispatches messages until it is gone; returns the process exit status.
// leaveStartFolder: once the window is up, leave the start folder so that
// the disk the program was started from is free.
int RunWin32(MainWindow& window, const std::string& hostCommandLine, bool leaveStartFolder);
