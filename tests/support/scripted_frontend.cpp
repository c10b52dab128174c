#include "support/scripted_frontend.h"

#include <gtest/gtest.h>

int ScriptedFrontEnd::Answer(RecordedDialog d, int escape) {
  if (onDialog) onDialog(d);
  if (dialogs.size() >= maxDialogs) {
    // Escape ends every loop that asks again; the flag ends the run.
    ADD_FAILURE() << "dialog " << dialogs.size() + 1 << " not answered (a loop?): " << d.text
                  << " / " << d.caption;
    Abort();
    d.answer = escape;
  } else if (answers.empty()) {
    d.answer = escape;
  } else {
    d.answer = answers.front();
    answers.pop_front();
  }
  dialogs.push_back(d);
  return d.answer;
}

int ScriptedFrontEnd::MessageDialog(const std::string& text, const std::string& caption,
                                    unsigned style) {
  return Answer({RecordedDialog::kMessage, text, caption, style, 0},
                (style & kStyleOkCancelMask) == 0 ? kIdOk : kIdCancel);
}

int ScriptedFrontEnd::OverwriteDialog(const std::string& path) {
  return Answer({RecordedDialog::kOverwrite, path, "", 0, 0}, kButtonSkip);
}

int ScriptedFrontEnd::RetryDialog(const std::string& path, const std::string& reason) {
  return Answer({RecordedDialog::kRetry, path, reason, 0, 0}, kButtonRetryAbort);
}

int ScriptedFrontEnd::Pump() {
  ++pumpCalls;
  if (clearWorkActiveAfterPumps >= 0 && pumpCalls >= clearWorkActiveAfterPumps) Abort();
  if (onPump) onPump();
  return 1;
}

void ScriptedFrontEnd::SetControlText(int id, const std::string& text) {
  controlTexts[id] = text;
  if (id == kFromLine) fromLines.push_back(text);
  if (id == kToLine) toLines.push_back(text);
  if (id == kPercentText) percentTexts.push_back(text);
}

std::string ScriptedFrontEnd::GetControlText(int id) {
  auto it = controlTexts.find(id);
  return it == controlTexts.end() ? std::string() : it->second;
}

void ScriptedFrontEnd::EnableControl(int id, bool on) { enabled[id] = on; }
void ScriptedFrontEnd::SetProgressBar(int position) { barPositions.push_back(position); }
void ScriptedFrontEnd::Trace(const char* marker) { traces.emplace_back(marker); }

int ScriptedFrontEnd::BrowseForFolder(const std::string& title, std::string& out) {
  RecordedDialog d{RecordedDialog::kBrowse, title, "", 0, 0};
  std::string chosen;
  if (!browseAnswers.empty()) {
    chosen = browseAnswers.front();
    browseAnswers.pop_front();
  }
  d.answer = chosen.empty() ? 0 : 1;
  dialogs.push_back(d);
  if (chosen.empty()) return 0;
  out = chosen;
  return 1;
}

void ScriptedFrontEnd::DestroyWindow() { destroyed = true; }

std::vector<std::string> ScriptedFrontEnd::MessageTexts() const {
  std::vector<std::string> out;
  for (const auto& d : dialogs)
    if (d.kind == RecordedDialog::kMessage) out.push_back(d.text);
  return out;
}
