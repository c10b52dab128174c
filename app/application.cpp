#include "app/application.h"

#include "app/cli.h"

int RunApplication(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (IsFileCommand(argv[i])) return RunFileCommand(argc, argv, i);
  return 0;
}
