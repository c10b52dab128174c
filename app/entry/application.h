// The program entry: options, the choice of facet and front end, and the
// one instance of each piece of state the process keeps. Returns the
// process exit status.
#pragma once

#include <string>

int RunApplication(int argc, char** argv);
// Windows: argv (UTF-8) for the options, and the raw text of the command
// line after the program's name (UTF-8), from which the work folder is
// taken verbatim.
int RunApplication(int argc, char** argv, const std::string& rawArguments);
