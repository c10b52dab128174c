#include <windows.h>

#include <cwchar>

#include "platform/process.h"
#include "text/wide_win32.h"

namespace plat {

namespace {

std::wstring WideUtf8(const std::string& utf8) {
  int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

// One argument as the C runtime of the program started parses it back.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace

bool ToolAvailable(const std::string& name) {
  wchar_t found[MAX_PATH];
  return SearchPathW(nullptr, WideUtf8(name).c_str(), L".exe", MAX_PATH, found, nullptr) != 0;
}

namespace {

// An entry "NAME=value" named by one of the names, or by a prefix ending
// in '*'; names compare in any case, as Windows compares them.
bool Named(const std::wstring& entry, const std::vector<std::string>& names) {
  const std::wstring name = entry.substr(0, entry.find(L'=', 1));
  for (const std::string& n : names) {
    std::wstring want = WideUtf8(n.substr(0, n.find('=')));
    const bool prefix = !want.empty() && want.back() == L'*';
    if (prefix) want.pop_back();
    if (prefix ? name.size() >= want.size() &&
                     CompareStringOrdinal(name.data(), static_cast<int>(want.size()), want.data(),
                                          static_cast<int>(want.size()), TRUE) == CSTR_EQUAL
               : CompareStringOrdinal(name.data(), static_cast<int>(name.size()), want.data(),
                                      static_cast<int>(want.size()), TRUE) == CSTR_EQUAL)
      return true;
  }
  return false;
}

// Our environment with the setup's changes, as CreateProcessW takes it.
std::wstring EnvironmentBlock(const ToolSetup& setup) {
  std::wstring block;
  if (wchar_t* ours = GetEnvironmentStringsW()) {
    for (const wchar_t* e = ours; *e; e += wcslen(e) + 1) {
      std::wstring entry = e;
      if (!Named(entry, setup.env) && !Named(entry, setup.unset)) block += entry + L'\0';
    }
    FreeEnvironmentStringsW(ours);
  }
  for (const std::string& e : setup.env) block += WideUtf8(e) + L'\0';
  return block + L'\0';
}

}  // namespace

int RunTool(const std::vector<std::string>& argv, std::string* output, const ToolSetup& setup) {
  if (argv.empty()) return -1;
  std::wstring line;
  for (const std::string& a : argv) line += (line.empty() ? L"" : L" ") + Quoted(WideUtf8(a));
  std::wstring environment = EnvironmentBlock(setup);
  const std::wstring folder = WideUtf8(setup.folder);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = nullptr;
  start.hStdOutput = writeEnd;
  start.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(
      nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
      environment.data(), folder.empty() ? nullptr : folder.c_str(), &start, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return -1;
  }
  char buf[4096];
  DWORD got = 0;
  std::size_t said = 0;
  bool stopped = false;
  while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) {
    said += got;
    if (setup.outputLimit && said > setup.outputLimit) {
      TerminateProcess(process.hProcess, 1);
      stopped = true;
      break;
    }
    if (output) output->append(buf, got);
  }
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = static_cast<DWORD>(-1);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return stopped ? -1 : static_cast<int>(status);
}

}  // namespace plat
