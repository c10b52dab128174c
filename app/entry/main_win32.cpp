// The Windows entry. kelvod.exe is a desktop program: it has no console of
// its own, so the terminal front end and the single-file commands use the
// standard handles it inherits (redirected by a script) or, when there are
// none, the console of the program that started it (Windows XP and later;
// before, only redirected handles).
//
// The entry is the ANSI one: the C runtime's wide start-up needs wide
// interfaces that Windows 9x only has as stubs. The arguments come from
// the interface the platform layer uses (platform/system_win32.h).
#include <windows.h>

#include <cstdlib>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/commands/batch.h"
#include "app/entry/application.h"
#include "platform/system_win32.h"

namespace {

bool Usable(DWORD which) {
  HANDLE h = GetStdHandle(which);
  return h && h != INVALID_HANDLE_VALUE;
}

// The streams of the C runtime on the inherited handles, or on the parent's
// console; binary, so the output is byte for byte the Linux program's.
void UseStandardStreams() {
  using AttachConsoleCall = BOOL(WINAPI*)(DWORD);
  const auto attach = plat::sys::Lookup<AttachConsoleCall>("kernel32.dll", "AttachConsole");
  if (!Usable(STD_OUTPUT_HANDLE) && !Usable(STD_INPUT_HANDLE) && attach &&
      attach(ATTACH_PARENT_PROCESS)) {
    if (!std::freopen("CONIN$", "r", stdin)) std::fclose(stdin);
    if (!std::freopen("CONOUT$", "w", stdout)) std::fclose(stdout);
    if (!std::freopen("CONOUT$", "w", stderr)) std::fclose(stderr);
  }
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // An empty floppy drive is reported to the program, which asks for the
  // disk in its own prompts, instead of the system's own box.
  SetErrorMode(SEM_FAILCRITICALERRORS);

  std::vector<std::string> args;
  std::string commandLine;
  plat::sys::Sys().CommandLine(args, commandLine);
  if (args.empty()) args.push_back("kelvod.exe");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // Options in front mean the terminal, a command or a text on the console;
  // the batch commands may come after their options and sets.
  if ((args.size() > 1 && args[1].rfind("--", 0) == 0 && args[1] != "--") ||
      IsBatchCommandLine(static_cast<int>(args.size()), argv.data()))
    UseStandardStreams();

  const std::string raw(RawArguments(commandLine));
  return RunApplication(static_cast<int>(args.size()), argv.data(), raw);
}

namespace __gnu_cxx {

// The C++ library's own handler names the exception's type, with a
// demangler of 40 KB: the program ends the same way without it.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
