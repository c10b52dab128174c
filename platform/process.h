// Other programs the batch commands use (mtools for floppy images).
// Arguments are in the host's form.
#pragma once

#include <string>
#include <vector>

namespace plat {

// True when a program of that name is on the search path.
bool ToolAvailable(const std::string& name);
// Runs the program with its arguments, waits for it and returns its exit
// status (-1 when it could not be started or was killed). What it writes
// to standard output and standard error goes to output when given, else is
// dropped. env: "NAME=value" entries added to (or replacing) the program's
// own environment.
int RunTool(const std::vector<std::string>& argv, std::string* output = nullptr,
            const std::vector<std::string>& env = {});

}  // namespace plat
