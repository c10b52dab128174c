// The terminal front end: the main window and every dialog printed on
// standard output, commands and answers read line by line from standard
// input, the progress bar drawn on standard error when it is a terminal.
// The protocol is described in the program's usage text.
#pragma once

#include <functional>
#include <string>

#include "app/main_window.h"

// Shows the main window on the terminal with the command-line copy (host
// form) until the window is gone; returns the process exit status.
// leaveStartFolder: once the window is up, leave the start folder so that
// the disk the program was started from is free.
// startHoldsDisks: when the list is missing, asked whether the start folder
// holds disk folders or images, which the batch commands expand.
int RunTerminal(MainWindow& window, const std::string& hostCommandLine,
                bool leaveStartFolder = false, std::function<bool()> startHoldsDisks = {});
