// The answers of the two prompts as a run takes them, the message box, a
// stopped run and the pump.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/dialogue_events.h"
#include "app/dialogue/resources/messages.h"
#include "runs/run_context.h"
#include "support/scripted_frontend.h"

namespace {

struct PromptsTest : ::testing::Test {
  ScriptedFrontEnd fe;
  Dialogue ui{&fe};
  RunSetup setup;
  RunProgress progress;
  CancelToken cancel;
  DialogueEvents events{ui, setup.title};
  CodecContextPtr codec = NewCodecContext();
  RunContext run{setup, progress, events, cancel, *codec};
  int32_t& WorkActive = progress.active;
  int32_t& OverwriteChoice = progress.overwriteChoice;
  void SetUp() override { WorkActive = 1; }
};

TEST_F(PromptsTest, OverwriteAnswers) {
  fe.answers = {kButtonOverwrite, kButtonOverwriteAll, kButtonSkip};
  EXPECT_EQ(run.AskOverwrite("\\d\\a"), 1);
  EXPECT_EQ(run.AskOverwrite("\\d\\a"), -1);
  EXPECT_EQ(run.AskOverwrite("\\d\\a"), 0);
  EXPECT_EQ(WorkActive, 1);
  // Escape is Skip.
  OverwriteChoice = 1;
  EXPECT_EQ(run.AskOverwrite("\\d\\a"), 0);
  ASSERT_EQ(fe.dialogs.size(), 4u);
  EXPECT_EQ(fe.dialogs[0].kind, RecordedDialog::kOverwrite);
  EXPECT_EQ(fe.dialogs[0].text, "\\d\\a");
}

TEST_F(PromptsTest, OverwriteAbortStopsTheRunAndKeepsTheChoice) {
  OverwriteChoice = -1;
  fe.answers = {kButtonOverwriteAbort};
  EXPECT_EQ(run.AskOverwrite("x"), -1);
  EXPECT_EQ(WorkActive, 0);
  // Callers set 0 before asking: the prompt then returns 0, the same as Skip.
  WorkActive = 1;
  OverwriteChoice = 0;
  fe.answers = {kButtonOverwriteAbort};
  EXPECT_EQ(run.AskOverwrite("x"), 0);
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(PromptsTest, RetryAnswersReplaceAnEarlierOverwriteAll) {
  setup.mode = ExtractMode;
  OverwriteChoice = -1;
  fe.answers = {kButtonRetry};
  EXPECT_TRUE(run.AskRetry("\\d\\a", RetryReason::kCopyFailed));
  EXPECT_EQ(OverwriteChoice, 1);
  OverwriteChoice = -1;
  fe.answers = {kButtonRetryAbort};
  EXPECT_FALSE(run.AskRetry("\\d\\a", RetryReason::kCopyFailed));
  EXPECT_EQ(OverwriteChoice, 0);
  OverwriteChoice = -1;
  EXPECT_FALSE(run.AskRetry("\\d\\a", RetryReason::kCopyFailed));  // Escape
  EXPECT_EQ(OverwriteChoice, 0);
  EXPECT_EQ(WorkActive, 1);
  EXPECT_EQ(fe.dialogs[0].kind, RecordedDialog::kRetry);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kMsgCopyFailed);
}

TEST_F(PromptsTest, StopTellsStopsAndPumps) {
  int before = fe.pumpCalls;
  EXPECT_EQ(run.Stop(Trouble::kSameName, "", 13), 13);
  EXPECT_EQ(WorkActive, 0);
  EXPECT_EQ(fe.pumpCalls, before + 1);
  ASSERT_EQ(fe.dialogs.size(), 1u);
  EXPECT_EQ(fe.dialogs[0].text, msg::kMsgSameName);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kCaptionStop);
  // A cancel from outside stops the run at its next look.
  WorkActive = 1;
  cancel.Cancel();
  EXPECT_FALSE(run.Going());
  EXPECT_EQ(WorkActive, 0);
}

struct CountingFrontEnd : FrontEnd {
  int pumps = 0;
  int interval = 5;
  int Pump() override {
    ++pumps;
    return interval;
  }
};

TEST(Pump, FrontEndIsAskedAgainAfterTheCountItReturns) {
  CountingFrontEnd fe;
  Dialogue ui(&fe);
  RunSetup setup;
  RunProgress progress;
  CancelToken cancel;
  DialogueEvents events(ui, setup.title);
  CodecContextPtr codec = NewCodecContext();
  RunContext run(setup, progress, events, cancel, *codec);
  for (int i = 0; i < 11; ++i) run.Pump();
  EXPECT_EQ(fe.pumps, 3);  // calls 1, 6 and 11
  // Nonsense answers from the front end still pump once per call at most.
  fe.interval = 0;
  run.PumpNow();
  EXPECT_EQ(fe.pumps, 4);
  run.Pump();
  run.Pump();
  EXPECT_EQ(fe.pumps, 6);
}

}  // namespace
