// The coders' progress, pump and stop flag, taken from the dialogue.
#pragma once

#include "app/dialogue/dialogue.h"
#include "codec/hooks.h"

// Lives for one coding operation: it starts from the dialogue's pump count
// and hands it back at the end, and keeps the dialogue's progress interval.
class DialogueCoderHooks final : public CoderHooks {
 public:
  explicit DialogueCoderHooks(Dialogue& ui) : ui_(ui) {
    pumpLeft_ = ui.pumpLeft();
    Sync();
  }
  ~DialogueCoderHooks() override { ui_.setPumpLeft(pumpLeft_); }
  DialogueCoderHooks(const DialogueCoderHooks&) = delete;
  DialogueCoderHooks& operator=(const DialogueCoderHooks&) = delete;

  void ResetProgress(uint32_t range) override {
    ui_.ResetProgress(range);
    Sync();
  }

 private:
  void ProgressChanged(uint32_t value) override {
    ui_.SetProgress(value);
    Sync();
  }
  void Pump() override {
    ui_.PumpNow();
    pumpLeft_ = ui_.pumpLeft();
    Sync();
  }
  void Sync() {
    progressLow_ = ui_.progressLow();
    progressSpan_ = ui_.progressSpan();
    stopped_ = ui_.state().WorkActive == 0;
  }
  Dialogue& ui_;
};
