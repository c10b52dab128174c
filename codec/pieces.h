// Cutting a compressed file of 1 MiB of code stream or more into a head file
// and 1 MiB piece files on the disks, and joining them again.
#pragma once

#include <string>
#include <vector>

#include "app/dialogue/dialogue.h"
#include "codec/context.h"
#include "platform/platform.h"

// What the split needs from the file operations and the runs above it: the
// disk change after a failed write, and the list line of each file written.
class PieceHooks {
 public:
  virtual ~PieceHooks() = default;
  // Creates the missing folder levels on the disk in the drive; 0, or 12
  // when the user gave up.
  virtual int EnsureFolders(const std::string& drive, const std::string& folder) = 0;
  // Gives a disk without a marker the next number; 0, or the result that
  // stopped the run.
  virtual int WriteDiskMarker(const std::string& destinationRoot) = 0;
  // Records a file just written on the disk in the drive; 0, or the result
  // that stopped the run (reported already).
  virtual int AppendFileLine(const std::string& writtenPath) = 0;
  // Whether a file of `bytes` fits the disk in the drive before it is
  // written; false counts like a write that fell short.
  virtual bool Fits(const std::string& path, uint64_t bytes) = 0;
};

// Writes the head file at destinationPath and the pieces beside it from the
// temporary compressed file, with the header in c.header. Returns 0, 1 (the
// temporary file cannot be opened), 10 (it cannot be read back), 11 (aborted
// or given up), 12 (a folder cannot be created), 13 (a piece name does not
// fit a path, or a list line could not be written).
int SplitPieces(Dialogue& ui, CodecContext& c, PieceHooks& hooks, const std::string& tempPath,
                const std::string& destinationPath, const std::string& destinationRoot);
// Joins the code streams of the pieces of the head file into outputPath
// (which exists). Returns 0 (output complete and closed), 2 (output cannot
// be created), 8 (writing the output failed; output deleted), 11 (aborted
// or given up; output deleted). c.header is the last piece's afterwards.
// piecesRead, when given, receives which file each piece joined was.
int JoinPieces(Dialogue& ui, CodecContext& c, const std::string& headPath,
               const std::string& outputPath, std::vector<plat::FileId>* piecesRead = nullptr);
