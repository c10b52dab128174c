#include "app/cli.h"

#include <cstring>

bool IsFileCommand(const char* arg) {
  return std::strcmp(arg, "--compress") == 0 || std::strcmp(arg, "--expand") == 0 ||
         std::strcmp(arg, "--info") == 0;
}

int RunFileCommand(int, char**, int) { return 2; }
