// The operating-system layer. Every path crossing this boundary is a code
// page 932 text in the program's own form ('\' separators, drive or network
// prefix where the host has one); the implementation converts it to the
// host's form and back. On Linux, /home/u/game is \home\u\game inside.
//
// Names of the disk set may have changed case when sets were copied off old
// media, so every look-up falls back to a case-insensitive match, level by
// level, when the exact name is missing. The names of the folders this
// needs are read once and kept (platform/folder_names.h). The file, search
// and temporary-file functions may be called from several threads at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace plat {

// --- Path conversion -----------------------------------------------------
// Host path -> inner form. False when the host name has no code page 932
// form (or, on Linux, contains '\').
bool FromHostPath(const std::string& host, std::string& inner);
// Inner form -> host path. False when the text does not convert (or holds
// a NUL, which would cut the path).
bool ToHostPath(const std::string& inner, std::string& host);
// The host path for display (falls back to a lossy form; never fails).
std::string DisplayPath(const std::string& inner);
// The host's path separator, for the paths inside message texts.
extern const char kHostSeparator;

// --- Files ---------------------------------------------------------------
// fopen with the C modes the program uses ("rb", "wb", "rt", "wt", "at",
// "r+t", "r+b"). Text mode is binary on every host; the list file writes its CR LF
// itself. nullptr when it cannot be opened (errno set).
std::FILE* OpenFile(const std::string& path, const char* mode);
bool RemoveFile(const std::string& path);
// Called between the blocks of a copy, so that a window stays responsive
// while a slow disk is written; false stops the copy, which then fails
// (errno ECANCELED).
using CopyTick = bool (*)(void* context);
// Copies src over dst (replacing it), keeping the permission bits. False on
// any failure, a full disk included; a partial dst is removed. The data is
// not synced to the disk on Linux: see SyncVolume. tick (when given) is
// called with context after every block written.
bool CopyFileReplacing(const std::string& src, const std::string& dst, CopyTick tick = nullptr,
                       void* context = nullptr);
// Writes everything written to the file system that holds path (or its
// nearest existing ancestor) out to its disk; false when that failed.
bool SyncVolume(const std::string& path);
// Positions an open file at offset from its start; false on failure.
bool SeekTo(std::FILE* f, int64_t offset);
// Length of an open file, or -1.
int64_t FileLength(std::FILE* f);
// Last-write time as a 64-bit count; false when the file is not found.
bool LastWriteTime(const std::string& path, uint64_t& time);
// What tells one state of a file's contents from another without reading
// them: its length and its write and change times. Two equal stamps taken
// before and after reading a file mean the bytes read were one version.
struct FileStamp {
  int64_t length = -1;
  uint64_t written = 0, changed = 0;
  bool operator==(const FileStamp&) const = default;
};
// False when the file is not found.
bool GetFileStamp(const std::string& path, FileStamp& stamp);
bool MakeFolder(const std::string& path);
// Which file a path names (links followed): its device and file number,
// whatever the spelling. False when it does not exist.
struct FileId {
  uint64_t device = 0, number = 0;
  bool operator==(const FileId&) const = default;
};
bool GetFileId(const std::string& path, FileId& id);
// True when both paths name the same existing file or folder.
bool SameFile(const std::string& a, const std::string& b);
// True when path itself (not what it points to) is a symbolic link.
bool IsSymbolicLink(const std::string& path);
// True when path leads to an ordinary file (links followed): not a folder,
// device or pipe, which could not be read to its end or would never end.
bool IsRegularFile(const std::string& path);
// Makes link stand for target (a full path) without copying it (a
// symbolic link where the system has them); false on failure.
bool MakeLink(const std::string& target, const std::string& link);
// Removes a folder and everything in it; links in it are removed, never
// followed. For the program's own temporary folders.
void RemoveTree(const std::string& path);
// Renames a file or folder; false when the new name exists or on failure.
bool Rename(const std::string& from, const std::string& to);
// Renames a file over another in the same folder (the one there is
// replaced, never written through when it is a link); false on failure.
bool RenameReplacing(const std::string& from, const std::string& to);

// --- Directory search (Windows wildcard semantics) -------------------------
// The pattern is a folder path followed by a name pattern with '*' and '?'.
// "*.*" and "*" match every name; names compare case-insensitively; "." and
// ".." are reported like any entry (the folder's own entries). A pattern
// without wildcards finds that one entry.
struct FindEntry {
  std::string name;         // code page 932; empty when !convertible
  bool isFolder = false;    // what the entry leads to (a link: its target)
  bool isLink = false;      // the entry itself is a symbolic link or junction
  bool convertible = true;  // false: the host name has no code page 932 form
  std::string hostName;     // the host's own name (for messages)
};
struct FindHandle;
enum class FindResult {
  kFound,       // entry holds the first match
  kNothing,     // nothing matches, or the folder does not exist
  kUnreadable,  // the folder exists but cannot be read
};
// nullptr when nothing matches or the folder cannot be read (result tells
// which). Host names without a code page 932 form are reported with
// convertible = false, so the caller can refuse them by name.
FindHandle* FindFirst(const std::string& pattern, FindEntry& entry, FindResult* result = nullptr);
bool FindNext(FindHandle* h, FindEntry& entry);
void FindClose(FindHandle* h);

// --- Temporary files -------------------------------------------------------
// The system's temporary folder ($TMPDIR or /tmp), ending in '\'.
std::string TempFolder();
// Creates an empty, uniquely named file in folder whose name starts with the
// first three characters of prefix; returns its path or "" on failure.
std::string MakeTempFile(const std::string& folder, const std::string& prefix);
// The same, left open for reading and writing in file (nullptr with "" on
// failure): no second look-up of a name just made.
std::string MakeOpenTempFile(const std::string& folder, const std::string& prefix,
                             std::FILE*& file);
// The same for a folder, private to the user; its path ends in '\'.
std::string MakeTempFolder(const std::string& folder, const std::string& prefix);

// --- Volumes -------------------------------------------------------------
// Free bytes on the file system that holds path (or its nearest existing
// ancestor); false when the query fails.
bool FreeBytes(const std::string& path, uint64_t& bytes);
// The folder on the first mounted removable volume, or "" when none.
std::string FirstRemovableRoot();
// The user's home folder.
std::string HomeFolder();
// The default destinations before the title is appended, each ending in
// '\': where a new disk set goes (the first removable volume, or a fixed
// place when there is none) and where an expanded game goes.
std::string DefaultDiskSetRoot();
std::string DefaultGameRoot();

// --- Process -------------------------------------------------------------
std::string ProgramFile();  // full path of the running program
// The program of the other operating system lying beside this one, which a
// disk set carries too so that it expands on both (kelvod.exe beside the
// Linux kelvod); "" when there is none.
std::string CompanionProgram();
std::string CurrentFolder();
bool ChangeFolder(const std::string& path);

}  // namespace plat
