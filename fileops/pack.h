// Putting one source file into the disk set, and taking one back out.
#pragma once

#include <cstdint>
#include <string>

// 0 or 15 (destination exists and is not older than source).
int SkipIfNotNewer(const std::string& sourcePath, const std::string& destinationPath);

int PackFile(const std::string& source, const std::string& destinationRoot,
             const std::string* relativeName, int noSplit, int forceCopy, int onlyIfNewer,
             int32_t* sizeOut);
