// Standard input, standard error and Ctrl-C for the terminal front end.
// Texts here are in the host's form (the terminal's character set).
#pragma once

#include <string>

namespace plat {

enum class ConsoleRead { kLine, kEnd, kInterrupted };

// Reads one line from standard input without its line feed (and without a
// CR before it). Reads byte by byte, so nothing after the line is taken from
// the stream. kEnd at end of input (or a read error), from then on every
// time; kInterrupted when Ctrl-C came before or during the read (the
// interrupt is then taken).
ConsoleRead ReadConsoleLine(std::string& line);

// Ctrl-C handling: after InstallInterruptHandler, Ctrl-C no longer ends the
// process but is remembered, and onInterrupt (which must be safe to call in
// a signal handler; may be nullptr) is called. A blocked ReadConsoleLine
// returns kInterrupted.
void InstallInterruptHandler(void (*onInterrupt)());
void RemoveInterruptHandler();
bool InterruptPending();
// True once per Ctrl-C: clears the remembered interrupt.
bool TakeInterrupt();

// A request to end the program (SIGTERM, SIGHUP; the console closing on
// Windows): after InstallTerminationHandler the process no longer dies at
// once, so the work can stop and clean up. A closed output pipe no longer
// ends it either: the write fails. It stays requested, and every
// ReadConsoleLine returns kInterrupted from then on.
void InstallTerminationHandler();
bool TerminationRequested();

bool StdErrIsTerminal();

// The character set the terminal's locale names, or "" when that is UTF-8
// or plain ASCII (texts are then written as UTF-8). Sets the character-type
// locale from the environment on first use.
std::string ConsoleCharset();

}  // namespace plat
