// The batch commands, one table row each: its word, its lines in the usage
// text, and the function that runs it (one file per command).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/commands/batch_options.h"
#include "codec/context.h"
#include "digest/digest.h"
#include "runs/list.h"
#include "runs/run_context.h"

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

// What the commands that read a set share.
class GivenDisks;
struct SetRead {
  ParsedList list;
  std::vector<std::string> missing;  // what a salvage found missing (errors)
  std::vector<std::string> notes;    // what reading the disks noted (warnings)
};
// Resolves the SETs and reads their list (or makes it again from the
// files' headers: --salvage, or --list of disks without the list): -1, or
// the exit status when there is nothing to work on (told).
int ReadGivenSet(const BatchOptions& o, GivenDisks& given, std::string& listText, SetRead& read);
// The extract run over the disks given (setup: destination and policy
// set), told through the batch's events. hashes, when given, makes it a
// test that hashes every file it expands, by its listed name. The exit
// status.
int ExpandSet(const BatchOptions& o, CodecContext& codec, GivenDisks& given, RunSetup& setup,
              const SetRead& read, std::map<std::string, ContentHashes>* hashes, bool summary);
// The hashes of the image files given, each named as it was given.
std::vector<std::pair<std::string, ContentHashes>> ImageHashes(const GivenDisks& given);
