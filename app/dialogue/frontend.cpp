#include "app/dialogue/frontend.h"

// The do-nothing front end answers every dialog as Escape would.
int FrontEnd::MessageDialog(const std::string&, const std::string&, unsigned style) {
  return (style & kStyleOkCancelMask) == 0 ? kIdOk : kIdCancel;
}
int FrontEnd::OverwriteDialog(const std::string&) { return kButtonSkip; }
int FrontEnd::RetryDialog(const std::string&, const std::string&) { return kButtonRetryAbort; }
int FrontEnd::Pump() { return 1 << 16; }
void FrontEnd::SetControlText(int, const std::string&) {}
std::string FrontEnd::GetControlText(int) { return {}; }
void FrontEnd::EnableControl(int, bool) {}
void FrontEnd::SetProgressBar(int) {}
void FrontEnd::Trace(const char*) {}
int FrontEnd::BrowseForFolder(const std::string&, std::string&) { return 0; }
void FrontEnd::DestroyWindow() {}
