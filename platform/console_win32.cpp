// Standard input and error and Ctrl-C on Windows. Redirected streams carry
// UTF-8 (as on Linux, so the same scripts drive both programs); a console
// gets its own code page.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/console.h"

namespace plat {

namespace {

volatile LONG g_interrupted = 0;
volatile LONG g_terminate = 0;
void (*volatile g_onInterrupt)() = nullptr;
bool g_installed = false;
bool g_inputEnded = false;

BOOL WINAPI OnCtrl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  InterlockedExchange(&g_interrupted, 1);
  if (auto cb = g_onInterrupt) cb();
  return TRUE;
}

// The console closing, the user logging off, the system shutting down: the
// work stops and cleans up in the moments the system grants.
BOOL WINAPI OnEnd(DWORD type) {
  if (type != CTRL_CLOSE_EVENT && type != CTRL_LOGOFF_EVENT && type != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  InterlockedExchange(&g_terminate, 1);
  Sleep(2000);  // returning would end the process at once
  return TRUE;
}

bool IsConsole(DWORD which) {
  DWORD mode;
  HANDLE h = GetStdHandle(which);
  return h && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

}  // namespace

ConsoleRead ReadConsoleLine(std::string& line) {
  line.clear();
  if (g_inputEnded) return ConsoleRead::kEnd;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  for (;;) {
    if (g_terminate) return ConsoleRead::kInterrupted;
    if (TakeInterrupt()) return ConsoleRead::kInterrupted;
    char c;
    DWORD got = 0;
    BOOL ok = in && in != INVALID_HANDLE_VALUE && ReadFile(in, &c, 1, &got, nullptr);
    if (ok && got == 1) {
      if (c == '\n') break;
      line.push_back(c);
      continue;
    }
    // Ctrl-C ends a console read with nothing; the handler runs on a thread
    // of its own and may come a moment later.
    if (IsConsole(STD_INPUT_HANDLE)) {
      Sleep(50);
      if (InterruptPending()) continue;
    }
    g_inputEnded = true;
    if (ok && !line.empty()) break;  // a last line without a line feed
    return ConsoleRead::kEnd;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return ConsoleRead::kLine;
}

void InstallInterruptHandler(void (*onInterrupt)()) {
  g_onInterrupt = onInterrupt;
  InterlockedExchange(&g_interrupted, 0);
  if (!g_installed && SetConsoleCtrlHandler(OnCtrl, TRUE)) g_installed = true;
}

void RemoveInterruptHandler() {
  if (!g_installed) return;
  SetConsoleCtrlHandler(OnCtrl, FALSE);
  g_installed = false;
  g_onInterrupt = nullptr;
}

bool InterruptPending() { return g_interrupted != 0; }

void InstallTerminationHandler() { SetConsoleCtrlHandler(OnEnd, TRUE); }

bool TerminationRequested() { return g_terminate != 0; }

bool TakeInterrupt() { return InterlockedExchange(&g_interrupted, 0) != 0; }

// The progress bar is drawn with a carriage return and an erase sequence,
// which a console understands once asked to.
bool StdErrIsTerminal() {
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode;
  if (!h || h == INVALID_HANDLE_VALUE || !GetConsoleMode(h, &mode)) return false;
  return SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::string ConsoleCharset() {
  if (!IsConsole(STD_OUTPUT_HANDLE)) return {};
  UINT cp = GetConsoleOutputCP();
  if (cp == 0 || cp == CP_UTF8) return {};
  return "CP" + std::to_string(cp);
}

}  // namespace plat
