// The terminal front end: the main window and every dialog printed on
// standard output, commands and answers read line by line from standard
// input, the progress bar drawn on standard error when it is a terminal.
#pragma once

#include <string>

// Runs the program on the terminal with the command-line copy (host form)
// until the main window is gone; returns the process exit status.
int RunTerminal(const std::string& hostCommandLine);

// The usage text of the program (also documents the terminal protocol).
const char* TerminalUsage();
