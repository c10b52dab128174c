#include "support/run_fixture.h"

#include <cstdlib>

#include "platform/platform.h"

void RunFixture::SetUp() {
  if (const char* t = std::getenv("TMPDIR")) savedTmpdir = t;
  tmp = dir.path / "tmp";
  work = dir.path / "work";
  fs::create_directories(tmp);
  fs::create_directories(work);
  setenv("TMPDIR", tmp.c_str(), 1);
  fs::path list = dir.path / "list.lst";
  WriteFileBytes(list, "");
  listPath = Inner(list);
  setup.listTempPath = listPath;
  setup.mode = MakeMode;
  SetDestination(dir.path / "dest");
  setup.title = "sample";
  state.ListTempPath = listPath;
  state.Title = "sample";
  progress.active = 1;
  progress.overwriteChoice = 0;
  progress.diskId = 1;
}

void RunFixture::TearDown() {
  if (savedTmpdir.empty())
    unsetenv("TMPDIR");
  else
    setenv("TMPDIR", savedTmpdir.c_str(), 1);
}

void RunFixture::SetDestination(const fs::path& host) {
  dest = host;
  setup.destination = InnerFolder(host);
}

std::vector<std::string> RunFixture::ListLines() {
  std::vector<std::string> lines;
  EXPECT_TRUE(ReadCrLfLines(dir.path / "list.lst", lines)) << "list lines must end with CR LF";
  return lines;
}

std::vector<std::string> RunFixture::TempLeftovers() { return ListTree(tmp); }
