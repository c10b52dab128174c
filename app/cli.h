// The single-file command-line facet: --compress, --expand, --info.
#pragma once

// True when arg names one of the single-file commands.
bool IsFileCommand(const char* arg);
// Runs the single-file command argv[first] with its operands; returns the
// process exit status.
int RunFileCommand(int argc, char** argv, int first);
