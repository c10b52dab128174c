#include "support/run_fixture.h"

#include <cstdlib>

#include "app/prompts.h"
#include "app/state.h"
#include "codec/context.h"
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
  ListTempPath = listPath;
  SetDestination(dir.path / "dest");
  Title = "sample";
  WorkActive = 1;
  OverwriteChoice = 0;
  Codec.DiskId = 1;
}

void RunFixture::TearDown() {
  if (savedTmpdir.empty())
    unsetenv("TMPDIR");
  else
    setenv("TMPDIR", savedTmpdir.c_str(), 1);
  WorkActive = 0;
}

void RunFixture::SetDestination(const fs::path& host) {
  dest = host;
  DestinationFolder = InnerFolder(host);
}

std::vector<std::string> RunFixture::ListLines() {
  std::vector<std::string> lines;
  EXPECT_TRUE(ReadCrLfLines(dir.path / "list.lst", lines)) << "list lines must end with CR LF";
  return lines;
}

std::vector<std::string> RunFixture::TempLeftovers() { return ListTree(tmp); }
