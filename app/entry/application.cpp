#include "app/entry/application.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "app/commands/batch.h"
#include "app/commands/file_commands.h"
#include "app/commands/given_set.h"
#include "app/dialogue/dialogue.h"
#include "app/dialogue/texts.h"
#include "app/entry/usage.h"
#include "app/exit_status.h"
#include "app/frontends/terminal/terminal.h"
#include "app/jobs.h"
#if defined(_WIN32)
#include "app/frontends/win32/win32.h"
#else
#include "app/frontends/qt/window_frontend.h"
#endif
#include "app/main_window.h"
#include "codec/context.h"
#include "platform/platform.h"
#include "platform/relocate.h"
#include "runs/run_handler.h"

#ifndef KELVOD_VERSION
#define KELVOD_VERSION "0"
#endif

namespace {

// The front ends the main window can be shown in.
enum class FrontEndKind { kTerminal, kWindow };

struct FrontEndChoice {
  FrontEndKind kind = FrontEndKind::kTerminal;
#if !defined(_WIN32)
  std::unique_ptr<WindowFrontEnd> window;  // loaded, with the display open
#endif
};

// The one place that picks the front end. --tty always means the terminal.
// On Windows the window is the desktop's own; elsewhere it is the desktop
// window when there is a display and its module loads and opens it, and one
// line says why when it cannot be had.
FrontEndChoice ChooseFrontEnd(bool forceTerminal) {
  FrontEndChoice choice;
  if (forceTerminal) return choice;
#if defined(_WIN32)
  choice.kind = FrontEndKind::kWindow;
#else
  if (!DesktopDisplayAvailable()) return choice;
  std::string why;
  const std::string module = FindWindowModule(why);
  if (!module.empty()) choice.window = WindowFrontEnd::Open(module, why);
  if (choice.window)
    choice.kind = FrontEndKind::kWindow;
  else
    std::fprintf(stderr, "kelvod: no window (%s); using the terminal\n", why.c_str());
#endif
  return choice;
}

struct Options {
  bool forceTerminal = false;
  int jobs = DefaultJobs();  // threads that encode in a make run
  int first = 1;             // the first argument after the options
};

int Run(int argc, char** argv, const std::string* rawArguments) {
  if (IsBatchCommandLine(argc, argv)) {
    auto codec = NewCodecContext();
    return RunBatchCommand(argc, argv, *codec);
  }
  // Options come first; the first argument that is not one begins the work
  // folder, and a lone "--" lets a work folder begin with "-".
  Options options;
  int& first = options.first;
  for (; first < argc; ++first) {
    std::string_view arg = argv[first];
    if (arg == "--") {
      ++first;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;
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
    if (arg == "--help" || arg == "-h") {
      std::fputs(UsageText().c_str(), stdout);
      return kExitSuccess;
    }
    if (arg == "--version" || arg == "-V") {
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
    if (!continued) {
#if !defined(_WIN32)
      HandOverProgramFolder();
#endif
      plat::ContinueFromTemporaryCopy(argv);
    }
  }

#if !defined(_WIN32)
  // The terminal and the desktop window speak the user's language where
  // they can; the Windows program is Japanese, as it has always been.
  UseTexts(CatalogueForEnvironment());
#endif
  // The state of this process, one instance each.
  auto codec = NewCodecContext();
  Dialogue ui;
  RunHandler runs(*codec);
  MainWindow window(ui, runs);
  window.SetJobs(options.jobs);
  FrontEndChoice frontEnd = ChooseFrontEnd(options.forceTerminal);
  switch (frontEnd.kind) {
    case FrontEndKind::kTerminal:
      return RunTerminal(window, commandLine, continued, [] {
        std::string here;
        return plat::FromHostPath(".", here) && disks::HoldsDisks(here);
      });
    case FrontEndKind::kWindow:
#if defined(_WIN32)
      return RunWin32(window, commandLine, continued);
#else
      return frontEnd.window->Run(window, commandLine, continued);
#endif
  }
  return kExitUsage;
}

}  // namespace

int RunApplication(int argc, char** argv) { return Run(argc, argv, nullptr); }

int RunApplication(int argc, char** argv, const std::string& rawArguments) {
  return Run(argc, argv, &rawArguments);
}
