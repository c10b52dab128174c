#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/relocate.h"

namespace plat {

namespace {

constexpr const char* kStartVariable = "KELVOD_START_DIR";
constexpr const char* kCopyVariable = "KELVOD_PROGRAM_COPY";

std::string HostTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

bool CopyProgram(const std::string& to, int out) {
  int in = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  static char buffer[1 << 16];
  bool ok = true;
  for (;;) {
    ssize_t got = read(in, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(out, buffer + done, static_cast<std::size_t>(got - done));
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  close(in);
  (void)to;
  return ok && fchmod(out, 0700) == 0;
}

}  // namespace

void ContinueFromTemporaryCopy(char** argv) {
  if (std::getenv(kStartVariable)) return;  // this already is the copy
  char start[PATH_MAX];
  if (!getcwd(start, sizeof start)) return;
  const std::string folder = HostTempFolder();
  std::string copy = folder + "/kvdXXXXXX";
  int fd = mkstemp(copy.data());
  if (fd < 0) return;
  bool copied = CopyProgram(copy, fd);
  if (close(fd) != 0) copied = false;
  if (copied && setenv(kStartVariable, start, 1) == 0 &&
      setenv(kCopyVariable, copy.c_str(), 1) == 0 && chdir(folder.c_str()) == 0) {
    execv(copy.c_str(), argv);
  }
  // The copy could not be started (a temporary folder mounted noexec, say):
  // go on from the disk.
  unsetenv(kStartVariable);
  unsetenv(kCopyVariable);
  if (chdir(start) != 0) {
    // Nothing better to do than to go on from the temporary folder.
  }
  unlink(copy.c_str());
}

bool TakeOverStartFolder() {
  const char* start = std::getenv(kStartVariable);
  if (!start) return false;
  if (const char* copy = std::getenv(kCopyVariable)) unlink(copy);
  bool back = chdir(start) == 0;
  unsetenv(kStartVariable);
  unsetenv(kCopyVariable);
  return back;
}

void LeaveStartFolder() {
  if (chdir(HostTempFolder().c_str()) != 0 && chdir("/") != 0) {
    // Stay where we are.
  }
}

}  // namespace plat
