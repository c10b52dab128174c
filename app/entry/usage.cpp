#include "app/entry/usage.h"

#include "app/commands/batch_commands.h"
#include "app/commands/volume.h"

namespace {

// The text of the program's own facets; the batch commands come from their
// table, the floppy sizes from theirs.
constexpr const char* kHead = R"(Usage: kelvod [OPTIONS] [--] [WORK_FOLDER]
Makes a disk set from a game's work folder, or expands a disk set.

  kelvod WORK_FOLDER   make mode: run in the folder that holds the game's
                       project file (*.qzm); the disk set is written to the
                       destination folder (default: the first removable
                       volume, else the home folder, followed by the title)
  kelvod               extract mode: run in the folder that holds kelvod.lst;
                       the game is expanded into ~/Games/TITLE by default

On a desktop (DISPLAY or WAYLAND_DISPLAY set) the main window and its dialogs
are shown in a window, drawn by the module kelvod-qt.so (next to the program,
or in lib/kelvod of its installation). Without a usable module or display,
one line on standard error says why, and the terminal front end is used.
The window and the terminal front end show Japanese texts, or English ones
when the locale asks for English: the first entry of LANGUAGE that names en
or ja decides, else the first of LC_ALL, LC_MESSAGES and LANG that is set,
English when it begins with "en" (LANGUAGE=en, LANG=en_US.UTF-8). The
commands and answers are the same in both. The Windows program is Japanese.

Options (they come first; a lone -- ends them, for a WORK_FOLDER that
begins with -):
  --tty                use the terminal front end even on a desktop
  --jobs N             threads that compress the files of a make run (default:
                       the number of cores, at most 4); 1 compresses one file
                       after the other on one thread. The disk set is the same.
                       kelvod.exe, the Windows program, accepts N and always
                       compresses on one thread.
  --help, -h           show this text
  --version, -V        show the version
  --compress SRC DST   compress one file
  --expand SRC DST     expand one compressed file
  --info FILE          show the header of a compressed file
)";

constexpr const char* kBatchIntro = R"(
Batch commands (no window, no prompt; options in any order). A SET is the
folder or floppy image of one disk, or a folder that holds disk folders or
images (found by their contents: raw images of the floppy sizes below, and
the FDI, D88, NFD and DIM images of the period's emulators); the disks may
come in any order:
)";

constexpr const char* kBatchCommon = R"(  --quiet, -q          errors only
  Progress goes to standard error when it is a terminal; a summary line
  ("N files, B bytes, D disks, W warnings, E errors") ends each command.
  Floppy sizes (what a FAT12 floppy of that format holds, directories
  included): %SIZES%.

)";

constexpr const char* kTail =
    R"(Terminal front end (texts are shown in the locale's character set, paths
in the host's form):
  The main window is printed as
      [CAPTION]
      SOURCE LABEL: SOURCE FOLDER
      DESTINATION LABEL: DESTINATION FOLDER
      commands: run exit browse dest
      >
  and takes one command a line:
      run          start the run (make or extract)
      exit         end the program
      browse       choose the destination folder
      dest FOLDER  replace the destination folder
  Unknown input gets a one-line hint. End of input at the main window is
  exit. After each command the main window is printed again.

  Every message box and prompt is printed as its caption in square brackets,
  its text lines, a line "choices: ..." and the prompt "> ". Answers:
      message boxes     ok cancel (OK-only boxes: ok)
      overwrite prompt  overwrite all skip abort
      retry prompt      retry abort
  The button's number is accepted too (ok 1, cancel 2; overwrite 1, all 3,
  skip 2, abort 4; retry 1, abort 2). Anything else asks again. End of input
  answers as Escape: cancel, skip or abort (ok in an OK-only box).
  The folder picker prints its title in square brackets and "choices: FOLDER";
  the next line is the folder, an empty line cancels.

  During a run, "from: ..." and "to: ..." lines show the file at work; the
  progress bar and percentage are drawn on standard error when it is a
  terminal. Ctrl-C during a run is the Abort button (its confirmation is
  asked like any message box); while a dialog waits it answers as Escape;
  at the main window it is exit.

Exit status (the same for every facet):
  0  done: the last run ended normally (or the program ended without a
     run); a single-file or batch command did its work (warnings allowed)
  1  wrong usage, could not start or nothing to work on: a bad option, a
     missing operand, no project file, no kelvod.lst, no temporary file,
     an input that cannot be opened
  2  the work failed or was aborted: the last run did not end normally; a
     command met damaged input or an I/O error; any file of a batch
     command failed
)";

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at; (at = text.find(what)) != std::string::npos;)
    text.replace(at, what.size(), with);
  return text;
}

}  // namespace

std::string UsageText() {
  std::string text = std::string(kHead) + kBatchIntro;
  for (const BatchCommand& command : BatchCommands()) text += command.usage;
  text += kBatchCommon;
  text += kTail;
  return Replaced(text, "%SIZES%", FloppySizeList());
}
