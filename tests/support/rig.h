// One program instance for a test: its run state, a scripted front end, the
// dialogue, a fresh codec context, the runs with their list file and file
// operations, and the main window. Nothing is shared between two rigs.
#pragma once

#include "app/dialogue/dialogue.h"
#include "app/main_window.h"
#include "codec/context.h"
#include "runs/run_handler.h"
#include "support/scripted_frontend.h"

struct Rig {
  Rig()
      : fe(state),
        ui(state, &fe),
        codecPtr(NewCodecContext()),
        codec(*codecPtr),
        runs(ui, codec),
        ops(runs.ops()),
        window(ui, runs) {}
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  RunState state;
  ScriptedFrontEnd fe;
  Dialogue ui;
  CodecContextPtr codecPtr;
  CodecContext& codec;
  RunHandler runs;
  FileOps& ops;
  MainWindow window;
};
