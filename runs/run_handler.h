// The Run button: the common start of both modes (read and check the two
// folder fields, confirm, enter the busy state, reset the run state), then
// MakeRun or ExtractRun, and the common end.
#pragma once

#include <string>

void RunCommand();

// The two branches, run after the common start. destinationShown is the
// destination folder without its trailing '\'. Both end with the success
// message and the window closed, or with the abort message.
void MakeRun();
void ExtractRun(const std::string& destinationShown);
