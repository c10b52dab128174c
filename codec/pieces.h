// Cutting a compressed file of 1 MiB of code stream or more into a head file
// and 1 MiB piece files on the disks, and joining them again.
#pragma once

#include <string>

// Returns 0, 1 (temporary file cannot be opened), 11 (aborted or given up),
// 12 (a folder cannot be created), 13 (a piece name does not fit).
int SplitPieces(const std::string& tempPath, const std::string& destinationPath,
                const std::string& destinationRoot);
// Returns 0 (output complete and closed), 2 (output cannot be created),
// 8 (writing the output failed; output deleted), 11 (aborted or given up;
// output deleted).
int JoinPieces(const std::string& headPath, const std::string& outputPath);
