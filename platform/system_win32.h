// The calls into Windows that take or give texts, in one interface with two
// implementations chosen once at start: on Windows NT (NT 4.0 to 11) the W
// interfaces, with code page 932 texts converted to UTF-16; on Windows 95,
// 98 and Me, whose W interfaces are stubs that fail, the A interfaces with
// texts in the system's ANSI code page (code page 932 on a Japanese
// system, where the texts pass unchanged). Paths are code page 932 texts in
// the program's own form; a path without a form for the interface in use
// fails as an invalid name (ERROR_INVALID_NAME, errno EINVAL).
//
// Functions newer than both Windows 98 SE and NT 4.0 are looked up at run
// time (Lookup), each with its fallback; docs/windows-imports.md lists what
// kelvod.exe imports.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plat::sys {

// True on Windows 95, 98 and Me (the high bit of GetVersion).
bool Windows9x();

// A function of a system library the program has loaded already, or
// nullptr where that Windows lacks it.
void (*LookupAddress(const char* library, const char* name))();
template <class F>
F Lookup(const char* library, const char* name) {
  return reinterpret_cast<F>(LookupAddress(library, name));
}

// The root of a path's drive ("X:\" or "\\server\share\"), or "" for a
// path without one.
std::string RootOf(const std::string& path);

// An entry of a folder as the system lists it.
struct Found {
  std::string name;         // code page 932; empty when !convertible
  bool convertible = true;  // false: the name has no code page 932 form
  std::string hostName;     // the system's own name as UTF-8 (for messages)
  DWORD attributes = 0;
  DWORD reparseTag = 0;  // for a reparse point
};

class System {
 public:
  // True when the path has a form for the interface in use.
  virtual bool Converts(const std::string& path) const = 0;

  // --- Files and folders (the system's error in GetLastError) ---
  virtual HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) const = 0;
  // The C runtime's stream; mode as for fopen (always binary).
  virtual std::FILE* Stream(const std::string& path, const char* mode) const = 0;
  virtual bool Delete(const std::string& path) const = 0;
  virtual bool NewFolder(const std::string& path) const = 0;
  virtual bool FileData(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) const = 0;
  // Fails when `to` exists.
  virtual bool Move(const std::string& from, const std::string& to) const = 0;
  // A hard link where the system and the volume have them, else a copy.
  virtual bool HardLinkOrCopy(const std::string& target, const std::string& link) const = 0;
  // Which file the path names, whatever its spelling.
  virtual bool Identity(const std::string& path, FileId& id) const = 0;
  // Removes a folder and all in it (links removed, never followed), or a file.
  virtual void RemoveTree(const std::string& path) const = 0;
  // Every entry the system's pattern matches, "." and ".." included, in the
  // system's order; false when none (the system's error in GetLastError).
  virtual bool List(const std::string& pattern, std::vector<Found>& out) const = 0;
  // GetTempFileName; "" on failure.
  virtual std::string TempFile(const std::string& folder, const std::string& prefix) const = 0;
  // Free bytes for the user on the volume of an existing folder.
  virtual bool FreeSpace(const std::string& folder, uint64_t& bytes) const = 0;
  virtual UINT DriveType(const std::string& root) const = 0;
  // The root of the volume that holds path (a folder's mount point on NTFS).
  virtual std::string VolumeRoot(const std::string& path) const = 0;

  // --- Folders the system names, in the inner form: their short (8.3)
  // form when the name has no code page 932 form, "" when neither has.
  virtual std::string TempPath() const = 0;
  virtual std::string WindowsFolder() const = 0;
  virtual std::string EnvironmentFolder(const char* variable) const = 0;
  virtual std::string ProgramPath() const = 0;
  virtual std::string CurrentFolder() const = 0;
  virtual bool ChangeFolder(const std::string& path) const = 0;
  // A folder named by a registry value (under HKEY_CURRENT_USER).
  virtual std::string RegistryFolder(const char* key, const char* value) const = 0;
  // A folder of the shell (CSIDL_PROGRAMS, ...).
  virtual std::string ShellFolder(int csidl) const = 0;
  // A shell link at linkPath; false (and no file) on failure.
  virtual bool SaveShortcut(const std::string& target, const std::string& workingFolder,
                            const std::string& linkPath, const std::string& description) const = 0;

  // --- Other programs and the command line; texts in the host form (UTF-8)
  virtual bool ProgramOnPath(const std::string& name) const = 0;
  virtual void SetEnvironment(const std::string& name, const std::string& value) const = 0;
  // Starts argv[0] with argv (quoted as the C runtime parses them back),
  // its standard output and error on `output`, without a window.
  virtual bool Start(const std::vector<std::string>& argv, HANDLE output,
                     PROCESS_INFORMATION& process) const = 0;
  // The program's arguments (argv[0] first) and its whole command line.
  virtual void CommandLine(std::vector<std::string>& args, std::string& whole) const = 0;

 protected:
  ~System() = default;
};

// The implementation for the running system.
const System& Sys();

// Tests: the A implementation even on Windows NT (false: as the system is).
void UseAnsiInterfaces(bool ansi);

}  // namespace plat::sys
