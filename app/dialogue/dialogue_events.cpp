#include "app/dialogue/dialogue_events.h"

#include <utility>
#include <vector>

#include "app/dialogue/resources/messages.h"
#include "text/cp932.h"
#include "text/format.h"

namespace {

// Names listed in one warning box; the rest are counted.
constexpr std::size_t kNamesShown = 20;

std::string NameList(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i) {
    if (i) out += '\n';
    out += names[i];
  }
  if (names.size() > kNamesShown)
    out += "\n" + Format(msg::kMsgMoreNames, static_cast<int>(names.size() - kNamesShown));
  return out;
}

// The message of each kind of problem: a text with the subject in it
// (true), or a text of its own.
std::pair<const char*, bool> MessageOf(Trouble what) {
  switch (what) {
    case Trouble::kNameTooLong:
      return {msg::kMsgNameTooLong, false};
    case Trouble::kSameName:
      return {msg::kMsgSameName, false};
    case Trouble::kTempFailedPack:
      return {msg::kMsgTempFailedPack, false};
    case Trouble::kTempFailedUnpack:
      return {msg::kMsgTempFailedUnpack, false};
    case Trouble::kTooLarge:
      return {msg::kMsgTooLarge, true};
    case Trouble::kReadFailed:
      return {msg::kMsgReadFailed, true};
    case Trouble::kWriteFailed:
      return {msg::kMsgWriteFailed, true};
    case Trouble::kChangedWhileRead:
      return {msg::kMsgChangedWhileRead, true};
    case Trouble::kDamaged:
      return {msg::kMsgDamagedStream, true};
    case Trouble::kVersion:
      return {msg::kMsgVersion, false};
    case Trouble::kBadSize:
      return {msg::kMsgBadSize, false};
    case Trouble::kSameAsInput:
      return {msg::kMsgSameAsInput, true};
    case Trouble::kUnsafeName:
      return {msg::kMsgUnsafeName, true};
    case Trouble::kLinkInTheWay:
      return {msg::kMsgLinkInTheWay, true};
    case Trouble::kNoStorableName:
      return {msg::kMsgNoCp932Name, true};
    case Trouble::kFolderUnreadable:
      return {msg::kMsgFolderUnreadable, true};
    case Trouble::kListWriteFailed:
      return {msg::kMsgListWriteFailed, false};
    case Trouble::kNoDisk:
      return {msg::kMsgNoMarker, false};
    case Trouble::kProgramUnreadable:
      return {msg::kMsgProgramUnreadable, true};
    case Trouble::kSplitSourceMissing:
      return {msg::kMsgSplitSourceMissing, false};
    case Trouble::kJoinOutputFailed:
      return {msg::kMsgJoinOutputFailed, false};
  }
  return {"", false};
}

const char* ReasonText(RetryReason why) {
  switch (why) {
    case RetryReason::kCopyFailed:
      return msg::kMsgCopyFailed;
    case RetryReason::kSplitWriteFailed:
      return msg::kMsgSplitWriteFailed;
    case RetryReason::kFolderFailed:
      return msg::kMsgFolderFailed;
    case RetryReason::kOutputUnwritable:
      return msg::kMsgOutputUnwritable;
    case RetryReason::kForeignMarker:
      return msg::kMsgForeignMarker;
  }
  return "";
}

}  // namespace

std::string ProblemText(const Problem& problem) {
  auto [text, named] = MessageOf(problem.what);
  return named ? Format(text, cp932::Printable(problem.subject).c_str()) : std::string(text);
}

void DialogueEvents::FolderBegun(const std::string& pattern) { ui_.ShowSourceLine(pattern); }

void DialogueEvents::FileBegun(const std::string& path, const std::string&) {
  ui_.ShowCurrentFile(path);
}

void DialogueEvents::DiskBegun(int32_t number) {
  ui_.ShowMessage(Format(msg::kMsgDiskNumber, title_.c_str(), static_cast<int>(number)),
                  msg::kCaptionConfirm, kInformationOk);
}

void DialogueEvents::ProblemMet(const Problem& problem) {
  // A version that differs is told on the way; everything else stops.
  if (problem.what == Trouble::kVersion)
    ui_.ShowMessage(ProblemText(problem), msg::kCaptionConfirm, kInformationOk);
  else
    ui_.ShowMessage(ProblemText(problem), msg::kCaptionStop, kStopOk);
}

void DialogueEvents::WarningsAtEnd(const RunWarnings& w) {
  std::vector<std::string> changes;
  for (const NameChange& c : w.namesThatChange)
    changes.push_back(c.from + " -> " + c.to + (c.collides ? msg::kMsgCollides : ""));
  const std::pair<const char*, const std::vector<std::string>*> kinds[] = {
      {msg::kMsgEmptyFilesLeftOut, &w.emptyFiles},
      {msg::kMsgNamesChange, &changes},
      {msg::kMsgNotExpanded, &w.notExpanded},
      {msg::kMsgLinksNotFollowed, &w.linksNotFollowed},
  };
  for (const auto& [text, names] : kinds)
    if (!names->empty())
      ui_.ShowMessage(Format(text, NameList(*names).c_str()), msg::kCaptionWarning, kExclamationOk);
}

void DialogueEvents::Finished(bool normally) {
  ui_.ShowMessage(normally ? msg::kMsgDone : msg::kMsgAborted, msg::kCaptionConfirm,
                  kExclamationOk);
}

void DialogueEvents::Trace(const char* marker) { ui_.Trace(marker); }

bool DialogueEvents::DiskWanted(int32_t number, bool again) {
  if (again) ui_.ShowMessage(msg::kMsgNoMarker, msg::kCaptionConfirm, kInformationOk);
  return ui_.ShowMessage(Format(msg::kMsgInsertDisk, title_.c_str(), static_cast<int>(number)),
                         msg::kCaptionConfirm, kInformationOkCancel) == kIdOk;
}

bool DialogueEvents::FileWanted(const std::string& path, WantReason why) {
  const char* text = why == WantReason::kHeadUnreadable    ? msg::kMsgHeadUnreadable
                     : why == WantReason::kPieceUnreadable ? msg::kMsgPieceUnreadable
                                                           : msg::kMsgSourceUnreadable;
  return ui_.ShowMessage(Format(text, path.c_str()), msg::kCaptionConfirm, kInformationOkCancel) ==
         kIdOk;
}

bool DialogueEvents::RetryWanted(const std::string& path, RetryReason why, int) {
  return ui_.PromptRetry(path, ReasonText(why));
}

OverwriteAnswer DialogueEvents::OverwriteWanted(const std::string& path) {
  switch (ui_.PromptOverwrite(path)) {
    case kButtonOverwrite:
      return OverwriteAnswer::kOverwrite;
    case kButtonOverwriteAll:
      return OverwriteAnswer::kAll;
    case kButtonOverwriteAbort:
      return OverwriteAnswer::kAbort;
    default:
      return OverwriteAnswer::kSkip;
  }
}

ProgressWindow DialogueEvents::ResetProgress(uint32_t total) {
  ui_.ResetProgress(total);
  return {ui_.progressLow(), ui_.progressSpan()};
}

ProgressWindow DialogueEvents::SetProgress(uint32_t value) {
  ui_.SetProgress(value);
  return {ui_.progressLow(), ui_.progressSpan()};
}

int DialogueEvents::Pump() { return ui_.Pump(); }
