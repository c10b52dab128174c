// A test fixture with the state a run sets up: a fresh program instance
// (Rig) with a scripted front end, a temporary folder of its own, a list
// file, the destination root, a title, the run going and disk ID 1.
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
    return rig.packer.PackFile(source, destinationRoot, relativeName,
                               {noSplit != 0, forceCopy != 0, onlyIfNewer != 0}, sizeOut);
  }
  int UnpackFile(const std::string& source, const std::string& destinationRoot,
                 const std::string& relativeName, int onlyIfNewer, int32_t* sizeOut) {
    return rig.expander.UnpackFile(source, destinationRoot, relativeName, onlyIfNewer != 0,
                                   sizeOut);
  }

  TempDir dir;
  fs::path tmp;   // TMPDIR of the test
  fs::path work;  // a work folder
  fs::path dest;  // the destination root
  std::string listPath;
  Rig rig;
  ScriptedFrontEnd& ui = rig.fe;
  RunSetup& setup = rig.setup;
  WindowState& state = rig.state;  // the window's, for whole runs
  RunProgress& progress = rig.progress;
  int32_t& WorkActive = rig.progress.active;
  int32_t& OverwriteChoice = rig.progress.overwriteChoice;
  int32_t& DiskId = rig.progress.diskId;
  std::string& DestinationFolder = rig.setup.destination;
  CodecContext& Codec = rig.codec;
  std::string savedTmpdir;
};
