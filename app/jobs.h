// The threads a make run compresses on, as --jobs gives them.
#pragma once

// The cores, at most 4 (the disk rarely keeps up with more); 1 on Windows,
// where a make run encodes on one thread.
int DefaultJobs();

// The N of "--jobs N" or "--jobs=N": 1 to 64, else 0.
int JobsValue(const char* text);
