// The single-file commands: --compress, --expand, --info.
#pragma once

#include "codec/context.h"

// True when arg names one of the single-file commands.
bool IsFileCommand(const char* arg);
// Runs the single-file command argv[first] with its operands; returns the
// process exit status (app/exit_status.h).
int RunFileCommand(int argc, char** argv, int first, CodecContext& codec);
