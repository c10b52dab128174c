// The walk over the work folder tree of a make run.
#pragma once

#include <memory>
#include <string>

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
