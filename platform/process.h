// Other programs the batch commands use (mtools for floppy images).
// Arguments are in the host's form.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace plat {

// True when a program of that name is on the search path.
bool ToolAvailable(const std::string& name);

// How a program is started.
struct ToolSetup {
  // "NAME=value" entries added to (or replacing) our environment.
  std::vector<std::string> env;
  // Variables of ours it does not get: a name, or a prefix ending in '*'
  // ("MTOOLS*"). Matched in the host's way (any case on Windows).
  std::vector<std::string> unset;
  // The folder it runs in (host form); "" for ours.
  std::string folder;
  // Output beyond this many bytes stops the program (RunTool then returns
  // -1); 0 for no bound.
  std::size_t outputLimit = 0;
};

// Runs the program with its arguments, waits for it and returns its exit
// status (-1 when it could not be started, was killed or said too much).
// What it writes to standard output and standard error goes to output
// when given, else is dropped. Standard input is empty.
int RunTool(const std::vector<std::string>& argv, std::string* output, const ToolSetup& setup);
inline int RunTool(const std::vector<std::string>& argv, std::string* output = nullptr,
                   const std::vector<std::string>& env = {}) {
  ToolSetup setup;
  setup.env = env;
  return RunTool(argv, output, setup);
}

}  // namespace plat
