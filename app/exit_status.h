// The exit statuses of every facet of the program: the main window (terminal
// or desktop), the single-file commands and the batch commands. Decided here
// once; --help, the README and the man page give the same table.
#pragma once

enum ExitStatus : int {
  // The work was done (or the program ended without a run).
  kExitSuccess = 0,
  // Wrong usage or could not start: a bad option, a missing operand, no
  // project file, no list file, no temporary file, an input that cannot be
  // opened or named.
  kExitUsage = 1,
  // The work failed or was aborted: a run that did not end normally, a
  // single-file command that met damaged input or an I/O error.
  kExitFailed = 2,
};
