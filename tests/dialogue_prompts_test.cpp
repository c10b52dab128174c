// The answers of the two prompts, the message box, StopRun and the pump.
#include <gtest/gtest.h>

#include "app/prompts.h"
#include "app/resources/messages.h"
#include "support/scripted_frontend.h"

namespace {

struct PromptsTest : ::testing::Test {
  ScriptedFrontEnd fe;
  void SetUp() override {
    WorkActive = 1;
    OverwriteChoice = 0;
  }
  void TearDown() override { WorkActive = 0; }
};

TEST_F(PromptsTest, OverwriteAnswers) {
  fe.answers = {kIdOk, kIdAbort, kIdCancel};
  EXPECT_EQ(PromptOverwrite("\\d\\a"), 1);
  EXPECT_EQ(PromptOverwrite("\\d\\a"), -1);
  EXPECT_EQ(PromptOverwrite("\\d\\a"), 0);
  EXPECT_EQ(WorkActive, 1);
  // Escape is Skip.
  OverwriteChoice = 1;
  EXPECT_EQ(PromptOverwrite("\\d\\a"), 0);
  ASSERT_EQ(fe.dialogs.size(), 4u);
  EXPECT_EQ(fe.dialogs[0].kind, RecordedDialog::kOverwrite);
  EXPECT_EQ(fe.dialogs[0].text, "\\d\\a");
}

TEST_F(PromptsTest, OverwriteAbortStopsTheRunAndKeepsTheChoice) {
  OverwriteChoice = -1;
  fe.answers = {kIdForceStop};
  EXPECT_EQ(PromptOverwrite("x"), -1);
  EXPECT_EQ(WorkActive, 0);
  // Callers set 0 before asking: the prompt then returns 0, the same as Skip.
  WorkActive = 1;
  OverwriteChoice = 0;
  fe.answers = {kIdForceStop};
  EXPECT_EQ(PromptOverwrite("x"), 0);
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(PromptsTest, RetryAnswersReplaceAnEarlierOverwriteAll) {
  OverwriteChoice = -1;
  fe.answers = {kIdOk};
  EXPECT_EQ(PromptRetry("\\d\\a", msg::kMsgCopyFailed), 1);
  OverwriteChoice = -1;
  fe.answers = {kIdCancel};
  EXPECT_EQ(PromptRetry("\\d\\a", msg::kMsgCopyFailed), 0);
  OverwriteChoice = -1;
  EXPECT_EQ(PromptRetry("\\d\\a", msg::kMsgCopyFailed), 0);  // Escape
  EXPECT_EQ(WorkActive, 1);
  EXPECT_EQ(fe.dialogs[0].kind, RecordedDialog::kRetry);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kMsgCopyFailed);
}

TEST_F(PromptsTest, StopRunClearsTheFlagAndPumps) {
  int before = fe.pumpCalls;
  g_pumpCountdown = 1;
  StopRun();
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
  CountingFrontEnd fe;
  SetFrontEnd(&fe);
  g_pumpCountdown = 0;
  for (int i = 0; i < 11; ++i) PumpOneMessage();
  EXPECT_EQ(fe.pumps, 3);  // calls 1, 6 and 11
  // A signal handler resets the countdown to be heard at the next pump.
  // Nonsense answers from the front end still pump once per call at most.
  fe.interval = 0;
  g_pumpCountdown = 0;
  PumpOneMessage();
  EXPECT_EQ(fe.pumps, 4);
  PumpOneMessage();
  PumpOneMessage();
  EXPECT_EQ(fe.pumps, 6);
  SetFrontEnd(nullptr);
  g_pumpCountdown = 0;
}

}  // namespace
