#include "runs/run_handler.h"

void RunCommand() {}
