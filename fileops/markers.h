// Disk identity markers "disk%d.id": a fresh disk gets the next number in a
// make run; an extract run waits for the disk with a given number.
#pragma once

#include <string>

// Gives a disk without any "*.id" file in folder the marker Codec.DiskId,
// tells the user, appends the disk line and advances Codec.DiskId.
// Returns 0, or 13 when the list line cannot be written (run stopped).
int WriteDiskMarker(const std::string& folder);
// 1 when the marker of disk Codec.DiskId is found in folder; 0 when the
// user gave up (WorkActive is then 0).
int WaitForDisk(const std::string& folder);
