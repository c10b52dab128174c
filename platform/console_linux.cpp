#include <langinfo.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>

#include "platform/console.h"

namespace plat {

namespace {

volatile sig_atomic_t g_interrupted = 0;
volatile sig_atomic_t g_terminate = 0;
void (*volatile g_onInterrupt)() = nullptr;
bool g_installed = false;
bool g_inputEnded = false;
struct sigaction g_previous;

void OnSigint(int) {
  g_interrupted = 1;
  if (auto cb = g_onInterrupt) cb();
}

void OnTerminate(int) { g_terminate = 1; }

}  // namespace

ConsoleRead ReadConsoleLine(std::string& line) {
  line.clear();
  if (g_inputEnded) return ConsoleRead::kEnd;
  for (;;) {
    if (g_terminate) return ConsoleRead::kInterrupted;
    if (TakeInterrupt()) return ConsoleRead::kInterrupted;
    char c;
    ssize_t n = ::read(0, &c, 1);
    if (n == 1) {
      if (c == '\n') break;
      line.push_back(c);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;  // the loop looks at the interrupt
    g_inputEnded = true;
    // A last line without a line feed still counts.
    if (n == 0 && !line.empty()) break;
    return ConsoleRead::kEnd;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return ConsoleRead::kLine;
}

void InstallInterruptHandler(void (*onInterrupt)()) {
  g_onInterrupt = onInterrupt;
  g_interrupted = 0;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnSigint;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a blocked read must return so the interrupt is seen.
  sa.sa_flags = 0;
  if (sigaction(SIGINT, &sa, g_installed ? nullptr : &g_previous) == 0) g_installed = true;
}

void RemoveInterruptHandler() {
  if (!g_installed) return;
  sigaction(SIGINT, &g_previous, nullptr);
  g_installed = false;
  g_onInterrupt = nullptr;
}

bool InterruptPending() { return g_interrupted != 0; }

void InstallTerminationHandler() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // a blocked read returns, so the request is seen
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  // A reader that goes away ("kelvod --list ... | head") must not end the
  // program before it has removed its temporary folders: the write fails
  // instead, and the command ends as after any failed write.
  std::signal(SIGPIPE, SIG_IGN);
}

bool TerminationRequested() { return g_terminate != 0; }

bool TakeInterrupt() {
  if (!g_interrupted) return false;
  g_interrupted = 0;
  return true;
}

bool StdErrIsTerminal() { return ::isatty(2) == 1; }

std::string ConsoleCharset() {
  static bool localeSet = false;
  if (!localeSet) {
    std::setlocale(LC_CTYPE, "");
    localeSet = true;
  }
  const char* set = nl_langinfo(CODESET);
  if (!set || !*set) return {};
  std::string name = set;
  std::string lower;
  for (char c : name) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (lower == "utf-8" || lower == "utf8" || lower == "ansi_x3.4-1968" || lower == "ascii" ||
      lower == "us-ascii")
    return {};
  return name;
}

}  // namespace plat
