#pragma once

#include <cstdint>
#include <string>

int UnpackFile(const std::string& source, const std::string& destinationRoot,
               const std::string& relativeName, int onlyIfNewer, int32_t* sizeOut);

// True when a relative name from a list file may be used: not absolute, no
// drive or network prefix, no "." or ".." level, no control characters.
bool IsSafeRelativeName(const std::string& name);
