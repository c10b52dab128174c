// The terminal front end: the main window and every dialog printed on
// standard output, commands and answers read line by line from standard
// input, the progress bar drawn on standard error when it is a terminal.
#pragma once

#include <string>

// Runs the program on the terminal with the command-line copy (host form)
// until the main window is gone; returns the process exit status.
// leaveStartFolder: once the window is up, leave the start folder so that
// the disk the program was started from is free.
int RunTerminal(const std::string& hostCommandLine, bool leaveStartFolder = false);

// The usage text of the program (also documents the terminal protocol).
const char* TerminalUsage();
