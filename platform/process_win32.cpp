#include <windows.h>

#include "platform/platform.h"
#include "platform/process.h"
#include "platform/system_win32.h"

namespace plat {

bool ToolAvailable(const std::string& name) { return sys::Sys().ProgramOnPath(name); }

int RunTool(const std::vector<std::string>& argv, std::string* output, const ToolSetup& setup) {
  if (argv.empty()) return -1;
  const sys::System& system = sys::Sys();
  // The program started inherits this one's environment and current folder:
  // the setup's changes are made here for it (one thread in this build).
  for (const std::string& e : setup.env) {
    const std::size_t eq = e.find('=');
    system.SetEnvironment(e.substr(0, eq), e.substr(eq + 1));
  }
  for (const std::string& name : setup.unset)
    if (!name.empty() && name.back() != '*') system.SetEnvironment(name, "");
  std::string here, folder;
  if (!setup.folder.empty()) {
    if (!FromHostPath(setup.folder, folder)) return -1;
    here = system.CurrentFolder();
    if (!system.ChangeFolder(folder)) return -1;
  }
  struct Back {
    const sys::System& system;
    const std::string& here;
    ~Back() {
      if (!here.empty()) system.ChangeFolder(here);
    }
  } back{system, here};

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
  // The program started must not inherit the end this process reads from,
  // or the pipe would never report its end.
  HANDLE ownEnd = nullptr;
  const BOOL duplicated = DuplicateHandle(GetCurrentProcess(), readEnd, GetCurrentProcess(),
                                          &ownEnd, 0, FALSE, DUPLICATE_SAME_ACCESS);
  CloseHandle(readEnd);
  if (!duplicated) {
    CloseHandle(writeEnd);
    return -1;
  }
  PROCESS_INFORMATION process{};
  const bool started = system.Start(argv, writeEnd, process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(ownEnd);
    return -1;
  }
  char buf[4096];
  DWORD got = 0;
  std::size_t said = 0;
  bool stopped = false;
  while (ReadFile(ownEnd, buf, sizeof buf, &got, nullptr) && got > 0) {
    said += got;
    if (setup.outputLimit && said > setup.outputLimit) {
      TerminateProcess(process.hProcess, 1);
      stopped = true;
      break;
    }
    if (output) output->append(buf, got);
  }
  CloseHandle(ownEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = static_cast<DWORD>(-1);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return stopped ? -1 : static_cast<int>(status);
}

}  // namespace plat
