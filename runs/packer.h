// Packing one work file into the disk set: compressed into a temporary file
// and copied onto the disk, or cut into a head file and pieces across disks,
// or copied as it is; each written file listed.
#pragma once

#include <cstdint>
#include <string>

#include "fileops/encode_ahead.h"
#include "runs/set_writer.h"

struct PackOptions {
  bool noSplit = false;      // never cut into pieces; a compressed source is copied as it is
  bool forceCopy = false;    // copied as it is under its own name (the program, the list)
  bool onlyIfNewer = false;  // skipped (15) when the destination is not older
};

class Packer {
 public:
  explicit Packer(SetWriter& set) : set_(set), run_(set.run()) {}

  // Puts source into the disk set under destinationRoot: its name there is
  // the relative name with "_lzs" on its extension (or the source's own
  // name when it is copied as it is). sizeOut (when given): the bytes it
  // takes in the set. Returns a ResultCode; a failure that ends the run
  // has been told and has stopped it.
  int PackFile(const std::string& source, const std::string& destinationRoot,
               const std::string* relativeName, const PackOptions& options,
               int32_t* sizeOut = nullptr);
  // Writes the head file and the pieces of the compressed file in tempPath
  // (with the header in the codec context) at destinationPath, each after a
  // disk change where one is full, each listed. 0, 1, 10, 11, 12, 13.
  int SplitPieces(const std::string& tempPath, const std::string& destinationPath,
                  const std::string& destinationRoot, const std::string& shownName = {});

  // Set by a make run that encodes ahead on other threads.
  EncodeAhead* ahead = nullptr;

 private:
  static constexpr int kGoOn = -1;  // a step of PackFile went well
  // What PackFile learns before it writes.
  struct PackTarget {
    std::string destination;  // the file on the disk
    std::string shownName;    // as the user knows it
    int64_t length = 0;
    bool asItIs = false;  // copied, not encoded
  };
  int Examine(const std::string& source, const std::string& destinationRoot,
              const std::string* relativeName, const PackOptions& options, PackTarget& t);
  int PrepareDestination(const std::string& source, const std::string& destinationRoot,
                         const PackOptions& options, const PackTarget& t);
  int WriteOneVersion(const std::string& source, const std::string& destinationRoot,
                      const std::string* relativeName, const PackOptions& options,
                      const PackTarget& t, int32_t* sizeOut);
  int EncodeToTemp(const std::string& source, const std::string* relativeName, bool noSplit,
                   std::FILE* in, std::string& tempName);
  int PlaceEncoded(const std::string& tempName, const std::string& destination,
                   const std::string& destinationRoot, const std::string& shownName, bool noSplit,
                   int32_t* sizeOut);
  void NoteComeBackName(const std::string& relative);
  std::FILE* OpenSourceAskingForDisk(const std::string& source);

  SetWriter& set_;
  RunContext& run_;
};
