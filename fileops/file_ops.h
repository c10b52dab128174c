// The file operations of the runs: folder creation, disk identity markers,
// packing one file into the disk set and taking one back out. Each tells the
// user what went wrong through the dialogue and returns a ResultCode; where
// the problem ends the run it also clears WorkActive.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/dialogue/dialogue.h"
#include "codec/context.h"
#include "codec/pieces.h"
#include "platform/platform.h"

// The list file of a make run, kept by the runs above.
class ListLines {
 public:
  virtual ~ListLines() = default;
  // Each returns false when the line could not be written completely.
  virtual bool AppendDiskLine(int32_t diskId) = 0;
  virtual bool AppendFileLine(const std::string& writtenPath, int32_t diskCounter) = 0;
};

// The room on a disk that is not a real disk: a volume of a given size
// that a folder stands for (the batch commands make sets into folders and
// images). Without one the real disk decides.
class SpaceModel {
 public:
  virtual ~SpaceModel() = default;
  // Takes room for a file of `bytes` (or a folder) at path, or returns
  // false when it does not fit. Taking the same path again replaces it.
  virtual bool Take(const std::string& path, uint64_t bytes, bool folder) = 0;
  virtual uint64_t FreeBytes() = 0;
};

class EncodeAhead;

// PackFile's test for a source that carries the signature: a head or piece
// file, or (noSplit or shorter than a piece) a whole compressed file, is
// copied as it is.
bool CopiedAsIs(const LzsHeader& h, bool carriesSignature, int64_t length, int noSplit);

class FileOps : public PieceHooks {
 public:
  FileOps(Dialogue& ui, CodecContext& codec, ListLines& list);

  // Creates every missing level of folder on drive, one level at a time,
  // with the retry prompt; 0 or 12 (the user gave up).
  int EnsureFolders(const std::string& drive, const std::string& folder) override;

  // Gives a disk without any "*.id" file in folder the marker DiskId, tells
  // the user, appends the disk line and advances DiskId. A disk that holds
  // the marker this run wrote last is marked already; one with any other
  // "*.id" is not empty, and the retry prompt asks for an empty one.
  // Returns 0; 13 when the user gave up there or the list line cannot be
  // written; 12 when a folder cannot be made on the disk put in (run
  // stopped on all of them).
  int WriteDiskMarker(const std::string& folder) override;
  // 1 when the marker of disk DiskId is found in folder; 0 when the user
  // gave up (WorkActive is then 0).
  int WaitForDisk(const std::string& folder);

  // The file line of a file just written, for the disk in the drive; 0, or
  // 13 when it cannot be written or no disk of this run holds it (reported,
  // run stopped).
  int AppendFileLine(const std::string& writtenPath) override;
  bool Fits(const std::string& path, uint64_t bytes) override {
    return !space || space->Take(path, bytes, false);
  }

  // 0 or 15 (destination exists and is not older than source).
  int SkipIfNotNewer(const std::string& sourcePath, const std::string& destinationPath);

  int PackFile(const std::string& source, const std::string& destinationRoot,
               const std::string* relativeName, int noSplit, int forceCopy, int onlyIfNewer,
               int32_t* sizeOut);
  int UnpackFile(const std::string& source, const std::string& destinationRoot,
                 const std::string& relativeName, int onlyIfNewer, int32_t* sizeOut);

  // Expands the compressed file or head file at source into output: reads
  // and tests the header, joins the pieces of a head file, then decodes, or
  // copies when the header says so. Shared by UnpackFile and the single-file
  // command. Returns 0 with *produced = original_size, or 0 with *produced =
  // 0 when source is no compressed file (nothing written); 16 wrong version,
  // 4 bad original_size, 9 a piece file (nothing written, no message); the
  // results of JoinPieces and the decoder; 1 the joined stream cannot be
  // read back; 11 the output cannot be opened and the user gave up. A
  // failed output is deleted, except after an abort while decoding. Every
  // failure has been reported when it returns.
  int ExpandFile(const std::string& source, const std::string& output, int32_t* produced);
  // Decodes a listed file (joining its pieces) and writes nothing: what an
  // UnpackFile would give, without the game folder. Results as ExpandFile.
  int TestFile(const std::string& source, const std::string& relativeName, int32_t* produced);

  // The folder levels of output below root that are links (reported, run
  // stopped): 13, else 0.
  int RefuseLinksBelow(const std::string& root, const std::string& output);

  // Opens a source for reading, asking for the disk that holds it until it
  // opens; nullptr when the user cancels (the run is then stopped).
  std::FILE* OpenSourceAskingForDisk(const std::string& source);
  // Shows a forced-stop message, stops the run and returns result.
  int StopRunWith(const std::string& text, int result);

  Dialogue& ui;
  RunState& state;
  CodecContext& codec;
  ListLines& list;
  SpaceModel* space = nullptr;
  // Set by a make run that encodes ahead on other threads: PackFile takes
  // its files' encodes from there when they fit (fileops/encode_ahead.h).
  EncodeAhead* ahead = nullptr;

 private:
  bool IsOwnMarker(const std::string& path);
  // Notes a file whose name will not come back as it is, or that comes back
  // under the name of another.
  void NoteComeBackName(const std::string& relative);
  int CopyWithRetry(const std::string& src, const std::string& destination,
                    const std::string& destinationRoot);
  int CopyBranch(const std::string& copySource, const std::string& target,
                 const std::string& shownName);
  int EncodeToTemp(const std::string& source, const std::string* relativeName, int noSplit,
                   std::FILE* in, std::string& tempName);
  int PlaceEncoded(const std::string& tempName, const std::string& destination,
                   const std::string& destinationRoot, const std::string& shownName, int noSplit,
                   int32_t* sizeOut);

  // The marker this run wrote last: which file, and when.
  plat::FileId lastMarker_;
  uint64_t lastMarkerTime_ = 0;
  std::string lastMarkerPath_;
};
