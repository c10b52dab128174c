// The boundary between the program's logic and whatever stands in for the
// main window and its dialogs (terminal, desktop window, test script). All
// texts crossing it are code page 932; a front end converts them for
// display. Nothing here depends on a window system.
#pragma once

#include <string>

#include "app/dialogue/ids.h"

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // A modal message box; returns the button pressed: 1 OK, 2 Cancel (also
  // Escape; an OK-only box returns 1 for Escape).
  virtual int MessageDialog(const std::string& text, const std::string& caption, unsigned style);
  // The overwrite prompt; returns the button identifier 1 (overwrite),
  // 3 (overwrite all), 2 (skip, Escape) or 4 (abort).
  virtual int OverwriteDialog(const std::string& path);
  // The retry prompt; returns 1 (retry) or 2 (abort, Escape).
  virtual int RetryDialog(const std::string& path, const std::string& reason);
  // Handles at most one pending event without blocking, and returns how many
  // further pump calls may pass before it wants to be called again (>= 1).
  // Work loops pump after every code, so a front end that has nothing cheap
  // to look at answers with a larger number.
  virtual int Pump();

  virtual void SetControlText(int id, const std::string& text);
  virtual std::string GetControlText(int id);
  virtual void EnableControl(int id, bool enabled);
  virtual void SetProgressBar(int position);  // 0..100
  virtual void Trace(const char* marker);

  // Folder picker; returns 1 and the chosen folder in out, or 0.
  virtual int BrowseForFolder(const std::string& title, std::string& out);
  // Ends the main window (the program then ends).
  virtual void DestroyWindow();
};
