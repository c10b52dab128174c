// The program entry: options, the choice of facet and front end, and the
// one instance of each piece of state the process keeps. Returns the
// process exit status.
#pragma once

int RunApplication(int argc, char** argv);
