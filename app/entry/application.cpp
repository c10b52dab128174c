#include "app/entry/application.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "app/commands/file_commands.h"
#include "app/dialogue/dialogue.h"
#include "app/entry/usage.h"
#include "app/exit_status.h"
#include "app/frontends/terminal/terminal.h"
#if defined(_WIN32)
#include "app/frontends/win32/win32.h"
#endif
#include "app/main_window.h"
#include "codec/context.h"
#include "platform/relocate.h"
#include "runs/run_handler.h"

#ifndef KELVOD_VERSION
#define KELVOD_VERSION "0"
#endif

namespace {

// The front ends the main window can be shown in.
enum class FrontEndKind {
  kTerminal,
#if defined(_WIN32)
  kWin32,
#endif
};

// The one place that picks the front end. --tty forces the terminal.
FrontEndKind ChooseFrontEnd(bool forceTerminal) {
#if defined(_WIN32)
  // Windows: the desktop window.
  if (!forceTerminal) return FrontEndKind::kWin32;
#endif
  (void)forceTerminal;
  return FrontEndKind::kTerminal;
}

struct Options {
  bool forceTerminal = false;
  int first = 1;  // the first argument after the options
};

}  // namespace

namespace {

int Run(int argc, char** argv, const std::string* rawArguments) {
  // Options come first; the first argument that is not one begins the work
  // folder, and a lone "--" lets a work folder begin with "--".
  Options options;
  int& first = options.first;
  for (; first < argc; ++first) {
    std::string_view arg = argv[first];
    if (arg == "--") {
      ++first;
      break;
    }
    if (arg.substr(0, 2) != "--") break;
    if (arg == "--tty") {
      options.forceTerminal = true;
      continue;
    }
    if (arg == "--help") {
      std::fputs(UsageText(), stdout);
      return kExitSuccess;
    }
    if (arg == "--version") {
      std::printf("kelvod %s\n", KELVOD_VERSION);
      return kExitSuccess;
    }
    if (IsFileCommand(argv[first])) {
      auto codec = NewCodecContext();
      return RunFileCommand(argc, argv, first, *codec);
    }
    std::fprintf(stderr, "kelvod: unknown option %s (kelvod --help lists the options)\n",
                 argv[first]);
    return kExitUsage;
  }

  const std::string commandLine = rawArguments ? CommandLineCopyFromRaw(*rawArguments, first - 1)
                                               : CommandLineCopy(argc, argv, first);
  bool continued = false;
  if (commandLine.empty()) {
    // Extract mode runs from the disk set: go on from a copy of the program
    // so that the disk can be changed.
    continued = plat::TakeOverStartFolder();
    if (!continued) plat::ContinueFromTemporaryCopy(argv);
  }

  // The state of this process, one instance each.
  RunState state;
  auto codec = NewCodecContext();
  Dialogue ui(state);
  RunHandler runs(ui, *codec);
  MainWindow window(ui, runs);
  switch (ChooseFrontEnd(options.forceTerminal)) {
    case FrontEndKind::kTerminal:
      return RunTerminal(window, commandLine, continued);
#if defined(_WIN32)
    case FrontEndKind::kWin32:
      return RunWin32(window, commandLine, continued);
#endif
  }
  return kExitUsage;
}

}  // namespace

int RunApplication(int argc, char** argv) { return Run(argc, argv, nullptr); }

int RunApplication(int argc, char** argv, const std::string& rawArguments) {
  return Run(argc, argv, &rawArguments);
}
