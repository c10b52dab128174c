// A test fixture with the state a run sets up: a fresh program instance
// (Rig) with a scripted front end, a temporary folder of its own, a list
// file, the destination root, a title, WorkActive 1 and disk ID 1.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/disk_fixtures.h"
#include "support/rig.h"

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

  int PackFile(const std::string& source, const std::string& destinationRoot,
               const std::string* relativeName, int noSplit, int forceCopy, int onlyIfNewer,
               int32_t* sizeOut) {
    return rig.ops.PackFile(source, destinationRoot, relativeName, noSplit, forceCopy, onlyIfNewer,
                            sizeOut);
  }
  int UnpackFile(const std::string& source, const std::string& destinationRoot,
                 const std::string& relativeName, int onlyIfNewer, int32_t* sizeOut) {
    return rig.ops.UnpackFile(source, destinationRoot, relativeName, onlyIfNewer, sizeOut);
  }

  TempDir dir;
  fs::path tmp;   // TMPDIR of the test
  fs::path work;  // a work folder
  fs::path dest;  // the destination root
  std::string listPath;
  Rig rig;
  ScriptedFrontEnd& ui = rig.fe;
  RunState& state = rig.state;
  int32_t& WorkActive = rig.state.WorkActive;
  int32_t& OverwriteChoice = rig.state.OverwriteChoice;
  std::string& DestinationFolder = rig.state.DestinationFolder;
  CodecContext& Codec = rig.codec;
  std::string savedTmpdir;
};
