#include "app/state.h"

#include "app/frontend.h"
#include "text/cp932.h"

int32_t RunMode = ExtractMode;
std::string StartDir;
std::string Title;
std::string SourceFolder;
std::string DestinationFolder;
std::string ListTempPath;
bool ListBufferPresent = false;
std::string ListBuffer;
std::string TempFolder;

int32_t BusyStateCount = 0;
bool MainWindowClosed = false;

namespace {

bool g_busy = false;

void SetBusy(bool busy) {
  FrontEnd& fe = CurrentFrontEnd();
  for (int id : kBusyIdleControls) fe.EnableControl(id, !busy);
  fe.EnableControl(kIdAbort, busy);
  g_busy = busy;
}

}  // namespace

void EnterBusyState() {
  ++BusyStateCount;
  SetBusy(true);
}

void EnterIdleState() { SetBusy(false); }

bool MainWindowBusy() { return g_busy; }

void CloseMainWindow() {
  if (MainWindowClosed) return;
  MainWindowClosed = true;
  CurrentFrontEnd().DestroyWindow();
}

std::size_t ReadListLine(std::string_view text, std::size_t pos, std::string& line) {
  line.clear();
  auto at = [&](std::size_t i) -> char { return i < text.size() ? text[i] : '\0'; };
  for (;;) {
    char c = at(pos);
    if (c == '\0') return pos;
    if (c == '\n') return pos + 1;
    line.push_back(c);
    ++pos;
    if (cp932::IsLeadByte(static_cast<unsigned char>(c))) {
      // The second byte of the pair may be 0x0A; it belongs to the character.
      char trail = at(pos);
      if (trail == '\0') return pos;
      line.push_back(trail);
      ++pos;
    }
  }
}

bool HasOverlongListLine(std::string_view text) {
  std::string line;
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] != '\0') {
    pos = ReadListLine(text, pos, line);
    if (line.size() > kMaxListLine) return true;
  }
  return false;
}
