// Process-wide texts set up at start-up and used by the runs.
#pragma once

#include <cstdint>
#include <string>

enum RunModeValue : int32_t { ExtractMode = 0, MakeMode = 1 };

extern int32_t RunMode;
extern std::string StartDir;           // current folder at start-up
extern std::string Title;              // the game's title
extern std::string SourceFolder;       // mirrors the source field
extern std::string DestinationFolder;  // mirrors the destination field
extern std::string ListTempPath;       // temporary list file of a make run
extern bool ListBufferPresent;         // ExtractMode: the list was read
extern std::string ListBuffer;         // ExtractMode: the whole list text (LF line ends)
extern std::string TempFolder;         // system temporary folder at start-up
