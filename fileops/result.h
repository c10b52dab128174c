// What a file operation gives back: its ResultCode, what it was about, and
// the system's reason. The run that called it decides whether to go on and
// what the user is told.
#pragma once

#include <string>

#include "codec/result_code.h"

struct [[nodiscard]] Result {
  int code = kDone;
  std::string subject;  // the path it is about
  int error = 0;        // the system's error number, 0 when there is none
  bool ok() const { return code == kDone; }
};

// A failure with errno as the system's reason.
Result Failure(int code, const std::string& subject);
