// A test fixture with the state a run sets up: a scripted front end, a
// temporary folder of its own, a list file, the destination root, a title,
// WorkActive 1 and disk ID 1.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/disk_fixtures.h"
#include "support/scripted_frontend.h"

class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Lines of the list file written so far (without CR LF).
  std::vector<std::string> ListLines();
  // Files left in the private temporary folder (should be none after an operation).
  std::vector<std::string> TempLeftovers();
  // Sets the destination root (inner form, ending in '\').
  void SetDestination(const fs::path& host);

  TempDir dir;
  fs::path tmp;   // TMPDIR of the test
  fs::path work;  // a work folder
  fs::path dest;  // the destination root
  std::string listPath;
  ScriptedFrontEnd ui;
  std::string savedTmpdir;
};
