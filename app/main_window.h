// The main window's logic, front-end neutral: start-up initialisation,
// its commands, and the clean-up when it is destroyed. The busy/idle
// states, CloseMainWindow and ReadListLine are in app/state.h, since the
// runs use them too.
#pragma once

#include <cstdint>
#include <string>

#include "app/state.h"

// The command-line copy: the arguments after the options, joined with
// single blanks, without the blanks at its start. Blanks only make it empty.
std::string CommandLineCopy(int argc, char** argv, int first);

// Creates and initialises the main window for a command-line copy in the
// host's form (non-empty: make mode with that work folder; empty: extract
// mode). Returns false when a start-up failure has destroyed the window
// again; the user has then been told why and the clean-up is done.
bool StartMainWindow(const std::string& hostCommandLine);
// The same for a command-line copy already in the program's own form.
bool InitMainWindow(const std::string& commandLine);

// Command identifiers as the window's buttons send them: 1 Run, 2 Exit,
// 3 Abort, 1005 Browse. Commands of disabled controls are ignored.
void MainWindowCommand(int id);

// Destroys the window: the clean-up, then the front end ends it.
void DestroyMainWindow();

struct MainWindowTexts {
  const char* caption;
  const char* sourceLabel;
  const char* destinationLabel;
};
// The caption and the two labels of the window for the run mode.
MainWindowTexts MainWindowTextsFor(int32_t runMode);

// The process exit status once the window is gone: 1 after a start-up
// failure, 2 when the last Run did not end normally, otherwise 0.
int MainWindowExitStatus();
