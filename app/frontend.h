// The boundary between the program's logic and whatever stands in for the
// main window and its dialogs (terminal, desktop window, test script). All
// texts crossing it are code page 932; a front end converts them for
// display. Nothing here depends on a window system.
#pragma once

#include <string>

// Window controls and dialog buttons, by their numeric identifiers.
enum ControlId : int {
  kIdOk = 1,  // Run in the main window; OK, Overwrite, Retry in dialogs
  kIdCancel = 2,  // Exit in the main window; Cancel, Skip, Abort (retry prompt); Escape
  kIdAbort = 3,   // Abort button of the main window; Overwrite all in the overwrite prompt
  kIdForceStop = 4,  // Abort in the overwrite prompt
  kSourceField = 1002,
  kDestinationField = 1004,
  kBrowseButton = 1005,
  kFromLine = 1009,
  kToLine = 1011,
  kProgressBar = 1017,
  kPercentText = 1018,
};

// Message box styles the program uses (the window system's style bits).
enum MessageStyle : unsigned {
  kStyleOkCancelMask = 0x0F,  // 0 = OK only, 1 = OK and Cancel
  kStyleStop = 0x10,
  kStyleQuestion = 0x20,
  kStyleExclamation = 0x30,
  kStyleInformation = 0x40,
};

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

// The front end in charge; a do-nothing one until SetFrontEnd is called.
FrontEnd& CurrentFrontEnd();
void SetFrontEnd(FrontEnd* frontEnd);  // nullptr restores the do-nothing one
