// Start-up of the whole program: options, mode choice, the main window and
// the front end that shows it. Returns the process exit status.
#pragma once

int RunApplication(int argc, char** argv);
