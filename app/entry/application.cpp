#include "app/entry/application.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "app/commands/file_commands.h"
#include "app/dialogue/dialogue.h"
#include "app/entry/usage.h"
#include "app/exit_status.h"
#include "app/frontends/terminal/terminal.h"
#include "app/main_window.h"
#include "codec/context.h"
#include "platform/relocate.h"
#include "runs/run_handler.h"

#ifndef KELVOD_VERSION
#define KELVOD_VERSION "0"
#endif

namespace {

// The front ends the main window can be shown in.
enum class FrontEndKind { kTerminal };

// The one place that picks the front end. --tty forces the terminal, which
// is also the only one so far.
FrontEndKind ChooseFrontEnd(bool forceTerminal) {
  (void)forceTerminal;
  return FrontEndKind::kTerminal;
}

struct Options {
  bool forceTerminal = false;
  // Threads that encode in a make run: the cores, at most 4 (the disk
  // rarely keeps up with more).
  int jobs = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
  int first = 1;  // the first argument after the options
};

// The N of "--jobs N" or "--jobs=N": 1 to 64, else 0.
int JobsValue(const char* text) {
  char* end = nullptr;
  const long n = text ? std::strtol(text, &end, 10) : 0;
  return end && end != text && *end == '\0' && n >= 1 && n <= 64 ? static_cast<int>(n) : 0;
}

}  // namespace

int RunApplication(int argc, char** argv) {
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
    if (arg == "--jobs" || arg.substr(0, 7) == "--jobs=") {
      const char* value =
          arg == "--jobs" ? (first + 1 < argc ? argv[++first] : nullptr) : argv[first] + 7;
      options.jobs = JobsValue(value);
      if (options.jobs == 0) {
        std::fprintf(stderr, "kelvod: --jobs needs a number from 1 to 64\n");
        return kExitUsage;
      }
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

  const std::string commandLine = CommandLineCopy(argc, argv, first);
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
  runs.SetJobs(options.jobs);
  MainWindow window(ui, runs);
  switch (ChooseFrontEnd(options.forceTerminal)) {
    case FrontEndKind::kTerminal:
      return RunTerminal(window, commandLine, continued);
  }
  return kExitUsage;
}
