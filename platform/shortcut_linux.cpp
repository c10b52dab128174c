// The Start-menu entry on Linux desktops: a desktop entry file in the user's
// applications folder; the launcher is a Windows program started by wine.
// Its icon is the launcher's own, as Windows shows it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/process.h"
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

// The user's data folder in the host's form, "" when neither variable names
// one. A relative XDG_DATA_HOME is invalid and ignored.
std::string DataHome() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return dataHome;
  if (const char* home = std::getenv("HOME"); home && home[0] == '/')
    return std::string(home) + "/.local/share";
  return {};
}

// --- The launcher's icon ------------------------------------------------------

// A launcher larger than this is not looked at for its icon.
constexpr off_t kLargestLauncher = 64 << 20;
constexpr uint32_t kLargestIcon = 1024;

// Copies a regular file (never a link, a device or a pipe) of at most
// `limit` bytes to a new file.
bool CopyRegularFile(const std::string& from, const std::string& to, off_t limit) {
  int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  bool ok = fstat(in, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= limit;
  int out = ok ? open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600) : -1;
  ok = out >= 0;
  char buf[1 << 16];
  while (ok) {
    ssize_t got = read(in, buf, sizeof buf);
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = write(out, buf, static_cast<std::size_t>(got)) == got;
  }
  close(in);
  if (out >= 0 && close(out) != 0) ok = false;
  return ok;
}

// The index of the largest image in an `icotool -l` listing ("--icon
// --index=2 --width=48 --height=48 --bit-depth=32 ..."), 0 for none.
int LargestImage(const std::string& listing) {
  int best = 0;
  long bestArea = 0, bestDepth = 0;
  auto field = [](const std::string& line, const char* name) {
    std::size_t at = line.find(name);
    return at == std::string::npos
               ? 0L
               : std::strtol(line.c_str() + at + std::strlen(name), nullptr, 10);
  };
  for (std::size_t start = 0; start < listing.size();) {
    std::size_t end = listing.find('\n', start);
    if (end == std::string::npos) end = listing.size();
    const std::string line = listing.substr(start, end - start);
    start = end + 1;
    if (line.rfind("--icon ", 0) != 0) continue;
    const long index = field(line, "--index="),
               area = field(line, "--width=") * field(line, "--height=");
    const long depth = field(line, "--bit-depth=");
    if (index > 0 && index < 1000 && (area > bestArea || (area == bestArea && depth > bestDepth))) {
      best = static_cast<int>(index);
      bestArea = area;
      bestDepth = depth;
    }
  }
  return best;
}

// Width and height of a PNG file, from its header.
bool PngSize(const std::string& path, uint32_t& width, uint32_t& height) {
  unsigned char head[24];
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fread(head, 1, sizeof head, f) == sizeof head;
  std::fclose(f);
  if (!ok || std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) != 0 ||
      std::memcmp(head + 12, "IHDR", 4) != 0)
    return false;
  auto big = [&](int at) {
    return uint32_t{head[at]} << 24 | uint32_t{head[at + 1]} << 16 | uint32_t{head[at + 2]} << 8 |
           head[at + 3];
  };
  width = big(16);
  height = big(20);
  return width > 0 && height > 0 && width <= kLargestIcon && height <= kLargestIcon;
}

bool MakeFolders(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    struct stat st;
    if (stat(part.c_str(), &st) == 0 ? !S_ISDIR(st.st_mode) : mkdir(part.c_str(), 0755) != 0)
      return false;
  }
  return true;
}

// The launcher's largest icon as a PNG in the user's icon folder
// (DATA/icons/hicolor/WxH/apps/kelvod-HASH.png, HASH of the entry's path),
// its path; "" when the launcher has no icon or icoutils is not installed.
// The tools see only a copy under a plain name in a private folder, never a
// name from the set, and a launcher made to keep them busy is given up.
std::string LauncherIcon(const std::string& launcher, const std::string& entry) {
  const std::string data = DataHome();
  if (data.empty() || !ToolAvailable("wrestool") || !ToolAvailable("icotool") ||
      !ToolAvailable("timeout"))
    return {};
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/kvicoXXXXXX";
  if (!mkdtemp(folder.data())) return {};
  const std::string exe = folder + "/launcher.exe", ico = folder + "/launcher.ico",
                    png = folder + "/icon.png";
  ToolSetup setup;
  setup.folder = folder;
  setup.outputLimit = 1 << 16;
  std::string listing, result;
  uint32_t width = 0, height = 0;
  if (CopyRegularFile(launcher, exe, kLargestLauncher) &&
      RunTool({"timeout", "20", "wrestool", "-x", "-t", "14", "-o", "launcher.ico", "launcher.exe"},
              nullptr, setup) == 0 &&
      RunTool({"timeout", "20", "icotool", "-l", "launcher.ico"}, &listing, setup) == 0) {
    if (int index = LargestImage(listing);
        index > 0 &&
        RunTool({"timeout", "20", "icotool", "-x", "-i", std::to_string(index), "-o", "icon.png",
                 "launcher.ico"},
                nullptr, setup) == 0 &&
        PngSize(png, width, height)) {
      uint64_t hash = 14695981039346656037ull;  // FNV-1a
      for (unsigned char c : entry) hash = (hash ^ c) * 1099511628211ull;
      char name[40];
      std::snprintf(name, sizeof name, "/kelvod-%016llx.png",
                    static_cast<unsigned long long>(hash));
      const std::string icons =
          data + "/icons/hicolor/" + std::to_string(width) + "x" + std::to_string(height) + "/apps";
      const std::string placed = icons + name, partial = placed + ".part";
      unlink(partial.c_str());  // left by an earlier attempt
      if (MakeFolders(icons) && CopyRegularFile(png, partial, 1 << 24) &&
          rename(partial.c_str(), placed.c_str()) == 0)
        result = placed;
      else
        unlink(partial.c_str());
    }
  }
  for (const std::string& f : {exe, ico, png}) unlink(f.c_str());
  rmdir(folder.c_str());
  return result;
}

}  // namespace

void ProgramsFolder(std::string& out) {
  std::string host = DataHome();
  std::string inner;
  if (host.empty() || !FromHostPath(host + "/applications", inner)) inner = "\\tmp";
  out = inner + "\\";
}

void CreateShortcut(const std::string& target, const std::string& workingFolder,
                    const std::string& linkPath, const std::string& description) {
  std::string targetHost, workingHost, linkHost;
  if (!ToHostPath(target, targetHost) || !ToHostPath(workingFolder, workingHost) ||
      !ToHostPath(linkPath, linkHost))
    return;
  std::string name = Utf8(description);
  std::string entry = "[Desktop Entry]\n";
  entry += "Type=Application\n";
  entry += "Name=" + EscapeValue(name) + "\n";
  entry += "Comment=" + EscapeValue(name) + "\n";
  entry += "Path=" + EscapeValue(workingHost) + "\n";
  entry += "Exec=" + EscapeValue("wine " + QuoteArgument(targetHost)) + "\n";
  // The icon file's name is ours: only the launcher's bytes come from the set.
  if (std::string icon = LauncherIcon(targetHost, linkHost); !icon.empty())
    entry += "Icon=" + EscapeValue(icon) + "\n";
  entry += "Terminal=false\n";
  entry += "Categories=Game;\n";
  std::FILE* f = OpenFile(linkPath, "wb");
  if (!f) return;
  bool ok = std::fwrite(entry.data(), 1, entry.size(), f) == entry.size();
  if (std::fclose(f) != 0 || !ok) RemoveFile(linkPath);  // no half-written entry
}

}  // namespace plat
