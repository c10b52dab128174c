#include <windows.h>

#include "platform/process.h"
#include "platform/system_win32.h"

namespace plat {

bool ToolAvailable(const std::string& name) { return sys::Sys().ProgramOnPath(name); }

int RunTool(const std::vector<std::string>& argv, std::string* output,
            const std::vector<std::string>& env) {
  if (argv.empty()) return -1;
  const sys::System& system = sys::Sys();
  for (const std::string& e : env) {
    const std::size_t eq = e.find('=');
    system.SetEnvironment(e.substr(0, eq), e.substr(eq + 1));
  }
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
  while (ReadFile(ownEnd, buf, sizeof buf, &got, nullptr) && got > 0)
    if (output) output->append(buf, got);
  CloseHandle(ownEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = static_cast<DWORD>(-1);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(status);
}

}  // namespace plat
