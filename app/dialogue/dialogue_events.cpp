#include "app/dialogue/dialogue_events.h"

#include <utility>
#include <vector>

#include "app/dialogue/texts.h"
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
    out += "\n" + Format(Texts().kMsgMoreNames, static_cast<int>(names.size() - kNamesShown));
  return out;
}

// The message of each kind of problem: a text with the subject in it
// (true), or a text of its own.
std::pair<const char*, bool> MessageOf(Trouble what) {
  switch (what) {
    case Trouble::kNameTooLong:
      return {Texts().kMsgNameTooLong, false};
    case Trouble::kSameName:
      return {Texts().kMsgSameName, false};
    case Trouble::kTempFailedPack:
      return {Texts().kMsgTempFailedPack, false};
    case Trouble::kTempFailedUnpack:
      return {Texts().kMsgTempFailedUnpack, false};
    case Trouble::kTooLarge:
      return {Texts().kMsgTooLarge, true};
    case Trouble::kReadFailed:
      return {Texts().kMsgReadFailed, true};
    case Trouble::kWriteFailed:
      return {Texts().kMsgWriteFailed, true};
    case Trouble::kChangedWhileRead:
      return {Texts().kMsgChangedWhileRead, true};
    case Trouble::kDamaged:
      return {Texts().kMsgDamagedStream, true};
    case Trouble::kVersion:
      return {Texts().kMsgVersion, false};
    case Trouble::kBadSize:
      return {Texts().kMsgBadSize, false};
    case Trouble::kSameAsInput:
      return {Texts().kMsgSameAsInput, true};
    case Trouble::kUnsafeName:
      return {Texts().kMsgUnsafeName, true};
    case Trouble::kLinkInTheWay:
      return {Texts().kMsgLinkInTheWay, true};
    case Trouble::kNoStorableName:
      return {Texts().kMsgNoCp932Name, true};
    case Trouble::kFolderUnreadable:
      return {Texts().kMsgFolderUnreadable, true};
    case Trouble::kListWriteFailed:
      return {Texts().kMsgListWriteFailed, false};
    case Trouble::kNoDisk:
      return {Texts().kMsgNoMarker, false};
    case Trouble::kProgramUnreadable:
      return {Texts().kMsgProgramUnreadable, true};
    case Trouble::kSplitSourceMissing:
      return {Texts().kMsgSplitSourceMissing, false};
    case Trouble::kJoinOutputFailed:
      return {Texts().kMsgJoinOutputFailed, false};
  }
  return {"", false};
}

const char* ReasonText(RetryReason why) {
  switch (why) {
    case RetryReason::kCopyFailed:
      return Texts().kMsgCopyFailed;
    case RetryReason::kSplitWriteFailed:
      return Texts().kMsgSplitWriteFailed;
    case RetryReason::kFolderFailed:
      return Texts().kMsgFolderFailed;
    case RetryReason::kOutputUnwritable:
      return Texts().kMsgOutputUnwritable;
    case RetryReason::kForeignMarker:
      return Texts().kMsgForeignMarker;
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
  ui_.ShowMessage(Format(Texts().kMsgDiskNumber, title_.c_str(), static_cast<int>(number)),
                  Texts().kCaptionConfirm, kInformationOk);
}

void DialogueEvents::CannotBegin(const std::vector<Finding>& findings) {
  std::vector<std::string> lines;
  for (const Finding& f : findings) {
    const msg::Catalogue& t = Texts();
    const char* reason = f.kind == Finding::kNoStorableName     ? t.kFindingNoStorableName
                         : f.kind == Finding::kNameTooLong      ? t.kFindingNameTooLong
                         : f.kind == Finding::kTooLarge         ? t.kFindingTooLarge
                         : f.kind == Finding::kFolderUnreadable ? t.kFindingFolderUnreadable
                         : f.kind == Finding::kDoesNotFit       ? t.kFindingDoesNotFit
                                                                : t.kFindingLastDisk;
    lines.push_back(f.subject.empty() ? std::string(reason)
                                      : cp932::Printable(f.subject) + ": " + reason);
  }
  // One box for all of them, as the warnings at the end.
  ui_.ShowMessage(Format(Texts().kMsgCannotBegin, NameList(lines).c_str()), Texts().kCaptionWarning,
                  kExclamationOk);
}

void DialogueEvents::ProblemMet(const Problem& problem) {
  // A version that differs is told on the way; everything else stops.
  if (problem.what == Trouble::kVersion)
    ui_.ShowMessage(ProblemText(problem), Texts().kCaptionConfirm, kInformationOk);
  else
    ui_.ShowMessage(ProblemText(problem), Texts().kCaptionStop, kStopOk);
}

void DialogueEvents::WarningsAtEnd(const RunWarnings& w) {
  std::vector<std::string> changes;
  for (const NameChange& c : w.namesThatChange)
    changes.push_back(c.from + " -> " + c.to + (c.collides ? Texts().kMsgCollides : ""));
  const std::pair<const char*, const std::vector<std::string>*> kinds[] = {
      {Texts().kMsgEmptyFilesLeftOut, &w.emptyFiles},
      {Texts().kMsgNamesChange, &changes},
      {Texts().kMsgNotExpanded, &w.notExpanded},
      {Texts().kMsgLinksNotFollowed, &w.linksNotFollowed},
  };
  for (const auto& [text, names] : kinds)
    if (!names->empty())
      ui_.ShowMessage(Format(text, NameList(*names).c_str()), Texts().kCaptionWarning,
                      kExclamationOk);
}

void DialogueEvents::Finished(bool normally) {
  ui_.ShowMessage(normally ? Texts().kMsgDone : Texts().kMsgAborted, Texts().kCaptionConfirm,
                  kExclamationOk);
}

void DialogueEvents::Trace(const char* marker) { ui_.Trace(marker); }

bool DialogueEvents::DiskWanted(int32_t number, bool again) {
  if (again) ui_.ShowMessage(Texts().kMsgNoMarker, Texts().kCaptionConfirm, kInformationOk);
  return ui_.ShowMessage(Format(Texts().kMsgInsertDisk, title_.c_str(), static_cast<int>(number)),
                         Texts().kCaptionConfirm, kInformationOkCancel) == kIdOk;
}

bool DialogueEvents::FileWanted(const std::string& path, WantReason why) {
  const char* text = why == WantReason::kHeadUnreadable    ? Texts().kMsgHeadUnreadable
                     : why == WantReason::kPieceUnreadable ? Texts().kMsgPieceUnreadable
                                                           : Texts().kMsgSourceUnreadable;
  return ui_.ShowMessage(Format(text, path.c_str()), Texts().kCaptionConfirm,
                         kInformationOkCancel) == kIdOk;
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
