// Identifiers of the main window, its dialogs and their buttons, the message
// box styles, and the values of the two run flags. Each number is named
// here once; the window templates use the same numbers.
#pragma once

#include <cstdint>

#include "runs/run_context.h"

// Resources: dialog templates and the window icon.
enum ResourceId : int {
  kIconMain = 102,
  kTemplateOverwrite = 108,
  kTemplateExtract = 109,
  kTemplateMake = 110,
  kTemplateRetry = 111,
};

// Controls, and the command identifiers their buttons send.
enum ControlId : int {
  kIdOk = 1,         // Run in the main window; OK, Overwrite, Retry in dialogs (default button)
  kIdCancel = 2,     // Exit in the main window; Cancel, Skip, Abort (retry prompt); Escape
  kIdAbort = 3,      // Abort in the main window; Overwrite all in the overwrite prompt
  kIdForceStop = 4,  // Abort in the overwrite prompt
  kSourceField = 1002,
  kDestinationField = 1004,
  kBrowseButton = 1005,
  kFromLine = 1009,
  kToLine = 1011,
  kProgressBar = 1017,
  kPercentText = 1018,
  kOverwriteFileName = 1021,
  kRetryFileName = 1022,
  kRetryReason = 1023,
};

// The same identifiers under the name of the button that sends them.
inline constexpr int kButtonRun = kIdOk;
inline constexpr int kButtonExit = kIdCancel;
inline constexpr int kButtonAbortRun = kIdAbort;
inline constexpr int kButtonOverwrite = kIdOk;
inline constexpr int kButtonSkip = kIdCancel;
inline constexpr int kButtonOverwriteAll = kIdAbort;
inline constexpr int kButtonOverwriteAbort = kIdForceStop;
inline constexpr int kButtonRetry = kIdOk;
inline constexpr int kButtonRetryAbort = kIdCancel;

// The controls that the busy state disables and the idle state enables, in
// this order; Abort always gets the opposite state.
inline constexpr int kBusyIdleControls[] = {kSourceField, kDestinationField, kBrowseButton, kIdOk,
                                            kIdCancel};

// Message box styles: the window system's style bits.
enum MessageStyle : unsigned {
  kStyleOkCancelMask = 0x0F,  // 0 = OK only, 1 = OK and Cancel
  kStyleOkCancel = 0x01,
  kStyleIconMask = 0xF0,
  kStyleStop = 0x10,
  kStyleQuestion = 0x20,
  kStyleExclamation = 0x30,
  kStyleInformation = 0x40,
};
// The combinations the program shows.
inline constexpr unsigned kStopOk = kStyleStop;                                       // 0x10
inline constexpr unsigned kQuestionOkCancel = kStyleQuestion | kStyleOkCancel;        // 0x21
inline constexpr unsigned kExclamationOk = kStyleExclamation;                         // 0x30
inline constexpr unsigned kExclamationOkCancel = kStyleExclamation | kStyleOkCancel;  // 0x31
inline constexpr unsigned kInformationOk = kStyleInformation;                         // 0x40
inline constexpr unsigned kInformationOkCancel = kStyleInformation | kStyleOkCancel;  // 0x41
