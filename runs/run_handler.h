// The Run button: the common start of both modes, MakeRun or ExtractRun,
// and the common end.
#pragma once

void RunCommand();
