#include "app/commands/batch.h"

#include <cstring>

#include "app/commands/batch_commands.h"
#include "app/commands/file_commands.h"
#include "platform/console.h"

const std::vector<BatchCommand>& BatchCommands() {
  static const std::vector<BatchCommand> commands = {
      {"--list",
       "  --list SET...        the title, the disks and a table of the files (name, size,\n"
       "                       packed size, disk, pieces) with totals; --json gives the\n"
       "                       same as JSON\n",
       RunListCommand},
      {"--test",
       "  --test SET...        decodes every file and writes nothing; names each\n"
       "                       damaged, missing or short file\n",
       RunTestCommand},
      {"--extract",
       "  --extract --to DEST SET...\n"
       "                       expands the set into DEST\n"
       "      --overwrite=never|always|ask   existing files (default: never, and\n"
       "                       each is reported)\n"
       "      --menu-entry     also make the Start-menu entry\n",
       RunExtractCommand},
      {"--make",
       "  --make WORK --to DEST [--title T] [--volume-size SIZE] [--images]\n"
       "                       makes the set into DEST/disk1/, DEST/disk2/, ...;\n"
       "                       the title is T, else that of the *.qzm file of the\n"
       "                       current folder or of WORK\n",
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
