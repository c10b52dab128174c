// The answers of the two prompts, the message box, StopRun and the pump.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/resources/messages.h"
#include "support/scripted_frontend.h"

namespace {

struct PromptsTest : ::testing::Test {
  RunState state;
  ScriptedFrontEnd fe{state};
  Dialogue ui{state, &fe};
  int32_t& WorkActive = state.WorkActive;
  int32_t& OverwriteChoice = state.OverwriteChoice;
  void SetUp() override { WorkActive = 1; }
};

TEST_F(PromptsTest, OverwriteAnswers) {
  fe.answers = {kButtonOverwrite, kButtonOverwriteAll, kButtonSkip};
  EXPECT_EQ(ui.PromptOverwrite("\\d\\a"), 1);
  EXPECT_EQ(ui.PromptOverwrite("\\d\\a"), -1);
  EXPECT_EQ(ui.PromptOverwrite("\\d\\a"), 0);
  EXPECT_EQ(WorkActive, 1);
  // Escape is Skip.
  OverwriteChoice = 1;
  EXPECT_EQ(ui.PromptOverwrite("\\d\\a"), 0);
  ASSERT_EQ(fe.dialogs.size(), 4u);
  EXPECT_EQ(fe.dialogs[0].kind, RecordedDialog::kOverwrite);
  EXPECT_EQ(fe.dialogs[0].text, "\\d\\a");
}

TEST_F(PromptsTest, OverwriteAbortStopsTheRunAndKeepsTheChoice) {
  OverwriteChoice = -1;
  fe.answers = {kButtonOverwriteAbort};
  EXPECT_EQ(ui.PromptOverwrite("x"), -1);
  EXPECT_EQ(WorkActive, 0);
  // Callers set 0 before asking: the prompt then returns 0, the same as Skip.
  WorkActive = 1;
  OverwriteChoice = 0;
  fe.answers = {kButtonOverwriteAbort};
  EXPECT_EQ(ui.PromptOverwrite("x"), 0);
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(PromptsTest, RetryAnswersReplaceAnEarlierOverwriteAll) {
  OverwriteChoice = -1;
  fe.answers = {kButtonRetry};
  EXPECT_EQ(ui.PromptRetry("\\d\\a", msg::kMsgCopyFailed), 1);
  OverwriteChoice = -1;
  fe.answers = {kButtonRetryAbort};
  EXPECT_EQ(ui.PromptRetry("\\d\\a", msg::kMsgCopyFailed), 0);
  OverwriteChoice = -1;
  EXPECT_EQ(ui.PromptRetry("\\d\\a", msg::kMsgCopyFailed), 0);  // Escape
  EXPECT_EQ(WorkActive, 1);
  EXPECT_EQ(fe.dialogs[0].kind, RecordedDialog::kRetry);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kMsgCopyFailed);
}

TEST_F(PromptsTest, StopRunClearsTheFlagAndPumps) {
  int before = fe.pumpCalls;
  ui.setPumpLeft(1);
  ui.StopRun();
  EXPECT_EQ(WorkActive, 0);
  EXPECT_EQ(fe.pumpCalls, before + 1);
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
  RunState state;
  CountingFrontEnd fe;
  Dialogue ui(state, &fe);
  for (int i = 0; i < 11; ++i) ui.PumpOneMessage();
  EXPECT_EQ(fe.pumps, 3);  // calls 1, 6 and 11
  // Nonsense answers from the front end still pump once per call at most.
  fe.interval = 0;
  ui.setPumpLeft(0);
  ui.PumpOneMessage();
  EXPECT_EQ(fe.pumps, 4);
  ui.PumpOneMessage();
  ui.PumpOneMessage();
  EXPECT_EQ(fe.pumps, 6);
}

}  // namespace
