// A running program keeps its own file and its current folder busy, so a
// disk it was started from could not be ejected. Extract mode therefore
// continues from a temporary copy of the program, with its current folder
// off the disk, and remembers the folder it was started from.
#pragma once

namespace plat {

// Replaces the process with a temporary copy of the program, started in the
// temporary folder. Returns only when that is not possible; the caller then
// goes on where it is.
void ContinueFromTemporaryCopy(char** argv);
// In the continued process: goes back to the folder the program was
// started from (for the start-up) and removes the temporary copy (the
// running program keeps it until it ends). False in a process that was not
// continued this way. True on Windows, where the system itself runs a
// program started from removable media from a copy.
bool TakeOverStartFolder();
// Leaves the start folder for the temporary folder, so that the disk is free.
void LeaveStartFolder();

}  // namespace plat
