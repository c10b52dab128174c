#include "app/commands/batch.h"

#include <cstring>

#include "app/commands/batch_commands.h"
#include "app/commands/file_commands.h"
#include "platform/console.h"

const std::vector<BatchCommand>& BatchCommands() {
  static const std::vector<BatchCommand> commands = {
      {"--list",
       "  --list SET...        the title, the disks and a table of the files (name,\n"
       "                       size, packed size, disk, pieces) with totals; one disk\n"
       "                       alone lists what it holds and names the disks the set\n"
       "                       needs besides\n"
       "      --json           the same as JSON (exact names)\n"
       "      --hashes         with --json: CRC32, MD5 and SHA-1 of every file as\n"
       "                       expanded and of every disk file or image given\n",
       RunListCommand},
      {"--test",
       "  --test SET...        decodes every file and writes nothing; names each\n"
       "                       damaged, missing or short file\n"
       "      --hashes         also the CRC32, MD5 and SHA-1 of every file as\n"
       "                       expanded and of every disk file or image given\n",
       RunTestCommand},
      {"--extract",
       "  --extract --to DEST SET...\n"
       "                       expands the set into DEST\n"
       "      --overwrite=never|always|ask   existing files (default: never, and\n"
       "                       each is reported)\n"
       "      --menu-entry     also make the Start-menu entry\n"
       "      --salvage        without a usable kelvod.lst (with --list and --test\n"
       "                       too): the files are found by their headers, pieces\n"
       "                       joined across the disks given, every missing piece\n"
       "                       named; --title T names the game\n",
       RunExtractCommand},
      {"--make",
       "  --make WORK --to DEST [--title T] [--volume-size SIZE] [--images]\n"
       "                       makes the set into DEST/disk1/, DEST/disk2/, ...;\n"
       "                       the title is T, else that of the *.qzm file of the\n"
       "                       current folder or of WORK. SIZE: a floppy size (below)\n"
       "                       or a byte count (k, m, g); without it, one disk.\n"
       "                       The work folder is checked before anything is written.\n"
       "      --images         writes disk1.img, ... (1440k unless SIZE says\n"
       "                       otherwise; needs mtools)\n"
       "      --image-format F img, hdm, fdi, d88, nfd or dim: the images in the\n"
       "                       container an emulator of the period expects\n"
       "      --dry-run        prints the plan (disks, files and bytes a disk,\n"
       "                       warnings) and writes nothing\n"
       "      --jobs N         threads that compress, as for a make run\n",
       RunMakeCommand},
  };
  return commands;
}

namespace {

std::vector<std::string> CommandWords() {
  std::vector<std::string> words;
  for (const BatchCommand& c : BatchCommands()) words.emplace_back(c.word);
  return words;
}

}  // namespace

bool IsBatchCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    // What follows "--" is a work folder, what follows a single-file
    // command its operands.
    if (std::strcmp(argv[i], "--") == 0 || IsFileCommand(argv[i])) return false;
    for (const BatchCommand& c : BatchCommands())
      if (std::strcmp(argv[i], c.word) == 0) return true;
  }
  return false;
}

int RunBatchCommand(int argc, char** argv, CodecContext& codec) {
  BatchOptions o;
  std::string error;
  if (!ParseBatchOptions(argc, argv, CommandWords(), o, error)) return Usage(error);
  plat::InstallInterruptHandler(nullptr);
  plat::InstallTerminationHandler();
  for (const BatchCommand& c : BatchCommands())
    if (o.command == c.word) return c.run(o, codec);
  return Usage("no command");
}
