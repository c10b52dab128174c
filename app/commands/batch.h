// The batch commands: --list, --test, --extract and --make on disk sets in
// folders and floppy images, without a window and without a prompt per
// disk. They drive the same runs as the window, answering its prompts by
// policy.
#pragma once

#include "codec/context.h"

// True when one of the arguments (before a lone "--") names a batch command.
bool IsBatchCommandLine(int argc, char** argv);
// Runs it; returns the process exit status (app/exit_status.h).
int RunBatchCommand(int argc, char** argv, CodecContext& codec);
