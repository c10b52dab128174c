// What a run tells the world outside it and asks it, as typed events. The
// window and the terminal show them as the program's dialogs (app/dialogue);
// the batch commands answer them by policy and print them their own way.
// Nothing below the runs tells or asks anything: it returns results.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// What went wrong, one kind for each thing a user is told.
enum class Trouble {
  kNameTooLong,         // a destination name does not fit a path
  kSameName,            // make: a file of that name is on the disk already
  kTempFailedPack,      // the temporary compressed file cannot be made or written
  kTempFailedUnpack,    // the joined stream cannot be read back (the run goes on)
  kTooLarge,            // a work file of 2 GiB or more
  kReadFailed,          // reading a file failed (not its end)
  kWriteFailed,         // a write fell short (a full disk, an I/O error)
  kChangedWhileRead,    // a work file changed twice while it was read
  kDamaged,             // a compressed file or piece that cannot be right
  kVersion,             // another format version (told; the run goes on)
  kBadSize,             // a header's original size of 0 or less
  kSameAsInput,         // the output would be the file being expanded
  kUnsafeName,          // a listed name that would leave the game folder
  kLinkInTheWay,        // a link where a folder of the game should be
  kNoStorableName,      // a work file whose name the set cannot hold
  kFolderUnreadable,    // a work folder that cannot be read
  kListWriteFailed,     // the list file cannot be written
  kNoDisk,              // a file would be listed under no disk of the set
  kProgramUnreadable,   // the program cannot be read for the last disk
  kSplitSourceMissing,  // the compressed file to cut into pieces is gone
  kJoinOutputFailed,    // the joined stream cannot be written
};

struct Problem {
  Trouble what;
  std::string subject;  // the path or name it is about ("" when the text names none)
  int error = 0;        // the system's error number, 0 when there is none
};

// What a make run finds in the work folder that stops it before it writes.
struct Finding {
  enum Kind {
    kNoStorableName,    // no code page 932 form, control characters, ':'
    kNameTooLong,       // the name on the disk set would not fit a path
    kTooLarge,          // 2 GiB or more
    kFolderUnreadable,  // its files would be missing
    kDoesNotFit,        // the file, or one of its pieces, fits no empty disk
    kLastDiskTooSmall,  // the program and the list fit no empty disk
  } kind;
  std::string subject;  // relative to the work folder; a folder ends in '\\'
};

// Why a write is offered again (the disk may be changed meanwhile).
enum class RetryReason {
  kCopyFailed,
  kSplitWriteFailed,
  kFolderFailed,
  kOutputUnwritable,
  kForeignMarker,  // a disk that carries another set's identity marker
};

// Why the disk that holds a file is asked for.
enum class WantReason { kSourceUnreadable, kHeadUnreadable, kPieceUnreadable };

// A work file that comes back from the set under another name.
struct NameChange {
  std::string from, to;
  bool collides = false;  // another file comes back under the same name
};

// What a make run stored other than as it came: told at its end.
struct RunWarnings {
  std::vector<std::string> emptyFiles;  // 0 bytes: the format cannot hold them
  std::vector<NameChange> namesThatChange;
  std::vector<std::string> notExpanded;       // already compressed: copied, never expanded
  std::vector<std::string> linksNotFollowed;  // links to folders: never walked
  std::set<std::string> comeBackNames;        // folded names the set gives back, for collisions
  std::size_t Count() const {
    return emptyFiles.size() + namesThatChange.size() + notExpanded.size() +
           linksNotFollowed.size();
  }
};

// What a run did, file by file, for a summary.
struct RunTally {
  uint64_t files = 0;    // files stored (make) or expanded whole (extract)
  uint64_t bytes = 0;    // their original bytes
  uint64_t skipped = 0;  // existing files not overwritten
  uint64_t failed = 0;   // files that failed or lay on a disk that was not there
};

enum class OverwriteAnswer { kOverwrite, kAll, kSkip, kAbort };

// The values of a progress count that show no change, [low, low + span):
// the coders report only values outside it.
struct ProgressWindow {
  uint32_t low = 0;
  uint64_t span = 0;
};

class RunEvents {
 public:
  virtual ~RunEvents() = default;

  // --- Told -----------------------------------------------------------------
  // A folder of the work folder is searched (its search pattern), or the
  // program is taken for the last disk.
  virtual void FolderBegun(const std::string& pattern) = 0;
  // A file is written at path (on the disk set, or in the game folder);
  // name: the file as the user knows it (its name in the work folder, or as
  // listed).
  virtual void FileBegun(const std::string& path, const std::string& name) = 0;
  // Make: the disk in the drive got the next number.
  virtual void DiskBegun(int32_t number) = 0;
  // Make: the whole work folder was looked at before anything is written:
  // what the run will pack.
  virtual void Planned(uint64_t files, uint64_t bytes) = 0;
  // Make: what the look found that stops the run before anything is
  // written, each named (relative to the work folder).
  virtual void CannotBegin(const std::vector<Finding>& findings) = 0;
  virtual void ProblemMet(const Problem& problem) = 0;
  // Make: what the set holds other than as it came, before the run ends
  // normally.
  virtual void WarningsAtEnd(const RunWarnings& warnings) = 0;
  // Extract: a file line was handed on (its listed name, its ResultCode,
  // the bytes it gave).
  virtual void FileDone(const std::string& listed, int result, int32_t produced) = 0;
  // The run is over: normally, or stopped.
  virtual void Finished(bool normally) = 0;
  // Short markers of what the file operations chose; shown nowhere.
  virtual void Trace(const char* marker) = 0;

  // --- Asked ----------------------------------------------------------------
  // Extract: disk `number` is wanted (again: its marker was not found the
  // last time). False: the user gives up on it.
  virtual bool DiskWanted(int32_t number, bool again) = 0;
  // The disk that holds path is wanted; true: try again.
  virtual bool FileWanted(const std::string& path, WantReason why) = 0;
  // A write failed (error: the system's reason, 0 when the room a disk
  // stands for is used up); true: try again (after a disk change).
  virtual bool RetryWanted(const std::string& path, RetryReason why, int error) = 0;
  // Extract: a file is in the way of an output.
  virtual OverwriteAnswer OverwriteWanted(const std::string& path) = 0;

  // --- Progress and the world outside -----------------------------------------
  virtual ProgressWindow ResetProgress(uint32_t total) = 0;
  virtual ProgressWindow SetProgress(uint32_t value) = 0;
  // Lets the outside handle what is pending (a click, Ctrl-C); returns how
  // many further calls may pass before the next look (at least 1).
  virtual int Pump() = 0;
};

// Where an extract run reads the disks of a set: one folder that each disk
// is put into in turn (the window and the terminal), or every disk where it
// was given (the batch commands: folders and images).
class DiskAccess {
 public:
  virtual ~DiskAccess() = default;
  // Whether disk `number` is there now (its identity marker is found).
  virtual bool HasDisk(int32_t number) = 0;
  // A path the file `relative` of disk `number` can be read from; "" when
  // it cannot be had (then it is asked for like a missing file).
  virtual std::string FileOf(int32_t number, const std::string& relative) = 0;
  // The folders on disk `number`, relative, each ending in '\', parents
  // before their sub-folders; links and other sets' folders left out.
  virtual std::vector<std::string> FoldersOf(int32_t number) = 0;
  // The copies made for the file lines done so far may go.
  virtual void Release() {}
};
