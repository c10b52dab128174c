#include "app/application.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "app/cli.h"
#include "app/main_window.h"
#include "app/terminal.h"
#include "platform/relocate.h"

#ifndef KELVOD_VERSION
#define KELVOD_VERSION "0"
#endif

int RunApplication(int argc, char** argv) {
  // Options come first; the first argument that is not one begins the work
  // folder, and a lone "--" lets a work folder begin with "--".
  int first = 1;
  for (; first < argc; ++first) {
    std::string_view arg = argv[first];
    if (arg == "--") {
      ++first;
      break;
    }
    if (arg.substr(0, 2) != "--") break;
    if (arg == "--tty") continue;  // the terminal is the only front end so far
    if (arg == "--help") {
      std::fputs(TerminalUsage(), stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("kelvod %s\n", KELVOD_VERSION);
      return 0;
    }
    if (IsFileCommand(argv[first])) return RunFileCommand(argc, argv, first);
    std::fprintf(stderr, "kelvod: unknown option %s (kelvod --help lists the options)\n",
                 argv[first]);
    return 1;
  }
  std::string commandLine = CommandLineCopy(argc, argv, first);
  bool continued = false;
  if (commandLine.empty()) {
    // Extract mode runs from the disk set: go on from a copy of the program
    // so that the disk can be changed.
    continued = plat::TakeOverStartFolder();
    if (!continued) plat::ContinueFromTemporaryCopy(argv);
  }
  return RunTerminal(commandLine, continued);
}
