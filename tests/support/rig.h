// One program instance for a test: a scripted front end, the dialogue, a
// fresh codec context, the runs and the main window; and one run of its own
// (setup, progress, events, the disk set written and the expander) for tests
// of single operations. Nothing is shared between two rigs.
#pragma once

#include "app/dialogue/dialogue.h"
#include "app/dialogue/dialogue_events.h"
#include "app/main_window.h"
#include "codec/context.h"
#include "runs/expander.h"
#include "runs/packer.h"
#include "runs/run_handler.h"
#include "runs/set_writer.h"
#include "support/scripted_frontend.h"

struct Rig {
  Rig()
      : ui(&fe),
        codecPtr(NewCodecContext()),
        codec(*codecPtr),
        runs(codec),
        window(ui, runs),
        state(window.state()),
        events(ui, setup.title),
        run(setup, progress, events, cancel, codec),
        list(setup.listTempPath, setup.destination),
        set(run, list),
        packer(set),
        expander(run) {
    // Abort stops the window's run and the rig's own.
    fe.abort = [this] {
      progress.active = 0;
      window.StopRun();
    };
    progress.active = 1;
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  ScriptedFrontEnd fe;
  Dialogue ui;
  CodecContextPtr codecPtr;
  CodecContext& codec;
  RunHandler runs;
  MainWindow window;
  WindowState& state;  // the window's

  // A run of its own, for operations called one by one.
  RunSetup setup;
  RunProgress progress;
  CancelToken cancel;
  DialogueEvents events;
  RunContext run;
  ListWriter list;
  SetWriter set;
  Packer packer;
  Expander expander;
};
