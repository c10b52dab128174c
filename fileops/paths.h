// Folders on the disk: whether a path names one. (Making the missing
// levels, with its retry prompt, is the runs' EnsureFolders.)
#pragma once

#include <string>

// 1 when path is taken to name a folder; may remove one trailing '\'. A bare
// name, a root or a top-level path counts as a folder without a look at the
// disk.
int IsFolder(std::string& path);
// True when path names an existing folder; a plain file does not count.
bool FolderExists(const std::string& path);
