// Process-wide texts set up at start-up and used by the runs, and the few
// main window operations the runs need (busy/idle, closing, list lines).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// --- Main window ---------------------------------------------------------
// The controls that the busy state disables and the idle state enables, in
// this order; Abort (3) always gets the opposite state.
inline constexpr int kBusyIdleControls[] = {1002, 1004, 1005, 1, 2};

// Busy: only Abort is enabled. Idle: everything but Abort.
void EnterBusyState();
void EnterIdleState();
bool MainWindowBusy();
// How often EnterBusyState has been called (a run got past its checks).
extern int32_t BusyStateCount;

// True once the main window is destroyed; the program then ends.
extern bool MainWindowClosed;
// Destroys the main window. A run that ended normally calls this.
void CloseMainWindow();

// --- List lines ------------------------------------------------------------
// The longest line the readers of a list accept; a list with a longer line
// is refused when it is read at start-up.
inline constexpr std::size_t kMaxListLine = 259;

// Reads the line that starts at pos in a zero-terminated text (the end of
// text, or a zero byte, is the terminator) into line, without its line feed,
// and returns the position after the line feed. A lead byte is copied with
// the byte after it, which never ends the line (unless it is the
// terminator). At the terminator the line is empty and pos is returned.
std::size_t ReadListLine(std::string_view text, std::size_t pos, std::string& line);
// True when some line of text is longer than kMaxListLine bytes.
bool HasOverlongListLine(std::string_view text);
