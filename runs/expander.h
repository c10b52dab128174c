// Taking files of a disk set back out: waiting for a disk, expanding one
// listed file into the game folder (joining the pieces of a cut one), or
// decoding it into nothing for a test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runs/list.h"
#include "runs/run_context.h"

// Where piece k of a cut file is read from, given the path beside its head.
using PieceFinder = std::function<std::string(int32_t k, const std::string& besideHead)>;

class Expander {
 public:
  explicit Expander(RunContext& run) : run_(run) {}

  // Asks for disk progress.diskId until access has it: 1, or 0 when the
  // user gave up (the run is then stopped).
  int WaitForDisk(DiskAccess& access);
  // Expands the listed file at source (relativeName as listed) into the
  // game folder destinationRoot. A ResultCode; a failure that ends the run
  // has been told and has stopped it.
  int UnpackFile(const std::string& source, const std::string& destinationRoot,
                 const std::string& relativeName, bool onlyIfNewer, int32_t* sizeOut,
                 const PieceFinder& pieces = {});
  // Expands the compressed file or head file at source into output: tests
  // the header, joins the pieces of a head file, decodes, or copies when the
  // header says so. 0 with *produced = original_size, or 0 with *produced =
  // 0 when source is no compressed file (nothing written); 16 another
  // version (told, the run goes on), 4 a bad size, 9 a piece file (nothing
  // written, nothing told); the results of the join and the decoder; 1 the
  // joined stream cannot be read back; 11 the output cannot be written and
  // the user gave up. An output that is not complete is never left.
  int ExpandFile(const std::string& source, const std::string& output, int32_t* produced,
                 const PieceFinder& pieces = {});
  // Decodes a listed file (joining its pieces) and writes nothing.
  int TestFile(const std::string& source, const std::string& relativeName, int32_t* produced,
               const PieceFinder& pieces = {});
  // Joins the code streams of the pieces of the head file into outputPath
  // (which exists). 0 (complete and closed), 2 (output cannot be made), 5
  // (the head's sizes contradict each other), 8 (writing failed), 11 (given
  // up): the output is deleted on failure. piecesRead, when given, receives
  // which file each piece joined was.
  int JoinPieces(const std::string& headPath, const std::string& outputPath,
                 const PieceFinder& pieces, std::vector<plat::FileId>* piecesRead = nullptr);
  // Makes the folders of disk `disk` that hold no file in the game folder.
  void RecreateFolders(DiskAccess& access, int32_t disk);

  // Outputs this run has written whole: a later line naming one (a piece
  // of a file expanded from its head) raises no overwrite prompt.
  std::set<std::string> written;

 private:
  static constexpr int kGoOn = -1;  // a step of ExpandFile went well
  int OpenCompressed(const std::string& source, std::FILE*& in);
  int JoinedStream(const std::string& source, const PieceFinder& pieces,
                   std::vector<plat::FileId>& inputs, std::string& joined, std::FILE*& in);
  int OpenOutput(const std::string& output, const std::vector<plat::FileId>& inputs,
                 std::string& partial, std::FILE*& out);
  int CopyBranch(const std::string& copySource, const std::string& target,
                 const std::string& shownName);
  RunContext& run_;
};

// The disks of a set put into one folder in turn, as the window and the
// terminal read them; the user is asked for each.
class DriveAccess final : public DiskAccess {
 public:
  explicit DriveAccess(const std::string& folder) : folder_(folder) {}
  bool HasDisk(int32_t number) override;
  std::string FileOf(int32_t number, const std::string& relative) override;
  std::vector<std::string> FoldersOf(int32_t number) override;

 private:
  void AddFolders(const std::string& relative, std::vector<std::string>& out);
  std::string folder_;
};
