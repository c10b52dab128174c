// The Windows entry. kelvod.exe is a desktop program: it has no console of
// its own, so the terminal front end and the single-file commands use the
// standard handles it inherits (redirected by a script) or, when there are
// none, the console of the program that started it.
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/commands/batch.h"
#include "app/entry/application.h"

namespace {

std::string Utf8(const wchar_t* wide) {
  int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

bool Usable(DWORD which) {
  HANDLE h = GetStdHandle(which);
  return h && h != INVALID_HANDLE_VALUE;
}

// The streams of the C runtime on the inherited handles, or on the parent's
// console; binary, so the output is byte for byte the Linux program's.
void UseStandardStreams() {
  if (!Usable(STD_OUTPUT_HANDLE) && !Usable(STD_INPUT_HANDLE) &&
      AttachConsole(ATTACH_PARENT_PROCESS)) {
    if (!std::freopen("CONIN$", "r", stdin)) std::fclose(stdin);
    if (!std::freopen("CONOUT$", "w", stdout)) std::fclose(stdout);
    if (!std::freopen("CONOUT$", "w", stderr)) std::fclose(stderr);
  }
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const wchar_t* commandLine = GetCommandLineW();
  int argc = 0;
  LPWSTR* wideArgv = CommandLineToArgvW(commandLine, &argc);
  std::vector<std::string> args;
  for (int i = 0; wideArgv && i < argc; ++i) args.push_back(Utf8(wideArgv[i]));
  if (wideArgv) LocalFree(wideArgv);
  if (args.empty()) args.push_back("kelvod.exe");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // Options in front mean the terminal, a command or a text on the console;
  // the batch commands may come after their options and sets.
  if ((args.size() > 1 && args[1].rfind("--", 0) == 0 && args[1] != "--") ||
      IsBatchCommandLine(static_cast<int>(args.size()), argv.data()))
    UseStandardStreams();

  const std::string raw(RawArguments(Utf8(commandLine)));
  return RunApplication(static_cast<int>(args.size()), argv.data(), raw);
}
