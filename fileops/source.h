// Small pieces that packing and unpacking share.
#pragma once

#include <cstdio>
#include <string>

// Opens a source for reading, asking for the disk that holds it until it
// opens; nullptr when the user cancels (the run is then stopped).
std::FILE* OpenSourceAskingForDisk(const std::string& source);

// Shows a forced-stop message, stops the run and returns result.
int StopRunWith(const std::string& text, int result);
