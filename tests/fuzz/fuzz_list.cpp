// libFuzzer target of the list side, on memory: arbitrary bytes as the text
// of a list file go through the line reader, the list check and the parse
// every reader follows. What the check lets pass must be safe to
// follow: every line it hands on stays inside the game folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fileops/naming.h"
#include "runs/list.h"
#include "text/cp932.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

const std::string kRoot = "\\games\\title\\";

// The path an accepted relative name gives below the game folder: under it,
// without a level that leads up or elsewhere.
void CheckOutput(const std::string& relative) {
  std::string output;
  if (!OutputName(kRoot, relative, output)) return;  // too long: refused by the caller
  Check(output.compare(0, kRoot.size(), kRoot) == 0);
  std::size_t start = kRoot.size();
  for (std::size_t i = start; i <= output.size(); i = cp932::Next(output, i)) {
    if (i < output.size() && !(output[i] == '\\' && cp932::Next(output, i) == i + 1)) continue;
    std::string_view level = std::string_view(output).substr(start, i - start);
    Check(!level.empty() && level != "." && level != "..");
    start = i + 1;
    if (i == output.size()) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // The reader always moves on and never past the text.
  std::string line;
  for (std::size_t pos = 0, steps = 0; pos < text.size() && text[pos] != '\0'; ++steps) {
    std::size_t next = ReadListLine(text, pos, line);
    Check(next > pos && next <= text.size() && line.size() <= next - pos);
    pos = next;
    Check(steps <= size);
  }

  ListCheck check = CheckList(text);
  if (!check) return 0;
  // Every name of every section, as the extract run follows them.
  const ParsedList list = ParseList(text);
  Check(IsSafeTitle(list.title));
  for (const auto& section : list.sections)
    for (const std::string& name : section) {
      Check(IsSafeRelativeName(name));
      CheckOutput(name);
    }
  return 0;
}
