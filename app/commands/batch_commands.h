// The batch commands, one table row each: its word, its lines in the usage
// text, and the function that runs it (one file per command).
#pragma once

#include <vector>

#include "app/commands/batch_options.h"
#include "codec/context.h"

struct BatchCommand {
  const char* word;   // "--list"
  const char* usage;  // its lines in the usage text
  int (*run)(const BatchOptions& options, CodecContext& codec);
};
const std::vector<BatchCommand>& BatchCommands();

int RunListCommand(const BatchOptions& options, CodecContext& codec);
int RunTestCommand(const BatchOptions& options, CodecContext& codec);
int RunExtractCommand(const BatchOptions& options, CodecContext& codec);
int RunMakeCommand(const BatchOptions& options, CodecContext& codec);
