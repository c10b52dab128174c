// The walk over the work folder tree of a make run.
#pragma once

#include <string>

// The current folder relative to the work folder during the walk; the
// relative name of each final copy; in an extract run the relative path of
// the current file line.
extern std::string RelativePath;

// Packs every file below folder (ending in '\') onto destinationRoot, depth
// first, skipping the destination folder itself; relativePath is the
// folder's path relative to the work folder and holds it again on return.
void WalkFolder(const std::string& folder, const std::string& destinationRoot,
                std::string& relativePath);
// Makes sure the destination counterpart of a folder without files exists.
int EmptyFolder(const std::string& destinationRoot, const std::string& relativePath);
