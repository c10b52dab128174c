// The plan of a make run, for --make --dry-run: the disks it would fill,
// the files and bytes of each, and what it would warn about.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/context.h"
#include "codec/hooks.h"
#include "fileops/space_model.h"
#include "runs/events.h"
#include "runs/walk.h"

struct PlanOutcome {
  std::string text;  // a line for each disk
  uint64_t disks = 0, original = 0;
  RunWarnings warnings;
  std::vector<Finding> fatal;  // what no empty disk takes
};

// Encodes every file of check into nothing, in order (as a make would:
// the same code streams, so the same sizes), and places them on disks of
// the room `disk` stands for (a folder `root`); nextDisk gives it a fresh
// disk. The last disk must also have lastDiskNeed bytes free for the
// program and the list.
PlanOutcome PlanMake(const WorkFolderCheck& check, SpaceModel& disk, uint64_t lastDiskNeed,
                     CodecContext& codec, CoderHooks& hooks, const std::function<void()>& nextDisk,
                     const std::string& root);
