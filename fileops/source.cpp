#include "fileops/source.h"

#include "app/prompts.h"
#include "app/resources/messages.h"
#include "platform/platform.h"
#include "text/format.h"

std::FILE* OpenSourceAskingForDisk(const std::string& source) {
  for (;;) {
    if (std::FILE* f = plat::OpenFile(source, "rb")) return f;
    if (ShowMessage(Format(msg::kMsgSourceUnreadable, source.c_str()), msg::kCaptionConfirm,
                    0x41) != 1) {
      StopRun();
      return nullptr;
    }
  }
}

int StopRunWith(const std::string& text, int result) {
  ShowMessage(text, msg::kCaptionStop, 0x10);
  StopRun();
  return result;
}
