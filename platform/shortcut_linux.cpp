// The Start-menu entry on Linux desktops: a desktop entry file in the user's
// applications folder; the launcher is a Windows program started by wine.
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/shortcut.h"
#include "text/cp932.h"

namespace plat {

const char* const kShortcutSuffix = ".desktop";

namespace {

// The string escapes of a desktop entry value.
std::string EscapeValue(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\r')
      out += "\\r";
    else if (c == ' ' && i == 0)
      out += "\\s";
    else
      out += c;
  }
  return out;
}

// One quoted argument of an Exec line; the caller applies EscapeValue to
// the whole line afterwards.
std::string QuoteArgument(const std::string& arg) {
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';  // field codes start with '%'
    out += c;
  }
  return out + "\"";
}

std::string Utf8(const std::string& text) {
  std::string out;
  return cp932::ToUtf8(text, out) ? out : std::string();
}

}  // namespace

void ProgramsFolder(std::string& out) {
  std::string host;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  // A relative XDG_DATA_HOME is invalid and ignored.
  if (dataHome && dataHome[0] == '/') {
    host = dataHome;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    host = std::string(home) + "/.local/share";
  }
  std::string inner;
  if (host.empty() || !FromHostPath(host + "/applications", inner)) inner = "\\tmp";
  out = inner + "\\";
}

void CreateShortcut(const std::string& target, const std::string& workingFolder,
                    const std::string& linkPath, const std::string& description) {
  std::string targetHost, workingHost;
  if (!ToHostPath(target, targetHost) || !ToHostPath(workingFolder, workingHost)) return;
  std::string name = Utf8(description);
  std::string entry = "[Desktop Entry]\n";
  entry += "Type=Application\n";
  entry += "Name=" + EscapeValue(name) + "\n";
  entry += "Comment=" + EscapeValue(name) + "\n";
  entry += "Path=" + EscapeValue(workingHost) + "\n";
  entry += "Exec=" + EscapeValue("wine " + QuoteArgument(targetHost)) + "\n";
  entry += "Terminal=false\n";
  entry += "Categories=Game;\n";
  std::FILE* f = OpenFile(linkPath, "wb");
  if (!f) return;
  bool ok = std::fwrite(entry.data(), 1, entry.size(), f) == entry.size();
  if (std::fclose(f) != 0 || !ok) RemoveFile(linkPath);  // no half-written entry
}

}  // namespace plat
