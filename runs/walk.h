// The walk over the work folder tree of a make run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fileops/encode_ahead.h"
#include "runs/packer.h"

// Packs every file below folder (ending in '\') onto destinationRoot, depth
// first, skipping the folder of the disk set (state.SetFolder, else the
// destination folder) and links to folders; relativePath is the
// folder's path relative to the work folder and holds it again on return.
void WalkFolder(Packer& packer, RunContext& run, const std::string& folder,
                const std::string& destinationRoot, std::string& relativePath);
// True when both name the same folder: equal texts, or the same folder on
// the disk however it is spelled.
bool IsSameFolder(const std::string& a, const std::string& b);
// Makes sure the destination counterpart of a folder without files exists.
int EmptyFolder(RunContext& run, const std::string& destinationRoot,
                const std::string& relativePath);
// The files WalkFolder will pack, in its order, without packing them: for
// encoding ahead. Stops where the walk would stop with a message. skipped:
// the folder the walk leaves out (the disk set's).
std::unique_ptr<AheadPlan> PlanWalk(const std::string& folder, const std::string& skipped);

// What a make run finds in the whole work folder before it writes anything:
// what stops it (each named, Finding in runs/events.h), and what it will pack.
struct PlannedFile {
  std::string source, relative;
  int64_t length = 0;
};
struct WorkFolderCheck {
  std::vector<Finding> fatal;
  std::vector<PlannedFile> files;  // in the walk's order
  uint64_t bytes = 0;
  std::vector<std::string> links;  // links to folders: left out
};
// The walk over folder without packing (the same order and skips as
// WalkFolder: skipped and links to folders are left out), checking every
// name against destinationRoot. Stops early only when cancelled.
WorkFolderCheck CheckWorkFolder(const std::string& folder, const std::string& skipped,
                                const std::string& destinationRoot, const CancelToken& cancel);
