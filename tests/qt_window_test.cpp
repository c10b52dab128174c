// The desktop window itself, loaded from its module and driven off screen:
// the main window in both modes, its busy and idle states and Abort, and
// the message boxes and prompts with their keys.
#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include "app/dialogue/resources/messages.h"
#include "platform/platform.h"
#include "qt_window_driver.h"

namespace {

bool HasLabel(QWidget* window, const QString& text) {
  for (QLabel* l : window->findChildren<QLabel*>())
    if (l->text() == text) return true;
  return false;
}

QString Host(const std::string& inner) { return QString::fromStdString(plat::DisplayPath(inner)); }

// The dialog manager's conversion, from the font's metrics.
QRect DialogRect(int x, int y, int w, int h) {
  QFontMetrics m(QApplication::font());
  const int bx =
      (m.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
  const int by = m.height();
  auto mx = [&](int v) { return (v * bx + 2) / 4; };
  auto my = [&](int v) { return (v * by + 4) / 8; };
  return QRect(mx(x), my(y), mx(w), my(h));
}

void ExpectIdle(QWidget* w, bool idle) {
  for (int id : kBusyIdleControls) EXPECT_EQ(Control(w, id)->isEnabled(), idle) << id;
  EXPECT_EQ(Control(w, kIdAbort)->isEnabled(), !idle);
}

TEST_F(WindowTest, MainWindowFollowsItsTemplateInBothModes) {
  const fs::path picked = dir.path / "picked";
  fs::create_directories(picked);
  int status = RunWindow(work, work.string(), [&] {
    QWidget* w = MainWindowWidget();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), Q(msg::kCaptionMake));
    EXPECT_TRUE(HasLabel(w, Q(msg::kLabelSourceMake)));
    EXPECT_TRUE(HasLabel(w, Q(msg::kLabelDestinationMake)));
    EXPECT_TRUE(HasLabel(w, "from") && HasLabel(w, "to"));
    EXPECT_EQ(Control<QLineEdit>(w, kSourceField)->text(), QString::fromStdString(work.string()));
    EXPECT_TRUE(Control<QLineEdit>(w, kSourceField)->isReadOnly());
    EXPECT_EQ(Control<QLineEdit>(w, kDestinationField)->text(), Host(rig->state.DestinationFolder));
    EXPECT_TRUE(Control<QLineEdit>(w, kDestinationField)->text().endsWith("/sample"));
    EXPECT_EQ(Control<QPushButton>(w, kBrowseButton)->text(), Q(msg::kButtonBrowse));
    EXPECT_EQ(Control<QPushButton>(w, kIdOk)->text(), Q(msg::kButtonRun));
    EXPECT_EQ(Control<QPushButton>(w, kIdCancel)->text(), Q(msg::kButtonExit));
    EXPECT_EQ(Control<QPushButton>(w, kIdAbort)->text(), Q(msg::kButtonAbort));
    EXPECT_FALSE(Control<QPushButton>(w, kIdOk)->isDefault());
    ExpectIdle(w, true);

    // Fixed size, no minimize or maximize box, positions from dialog units
    // inside the client edge.
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_FALSE(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    const QRect client = DialogRect(0, 0, 231, 147);
    EXPECT_EQ(w->size(), client.size() + QSize(4, 4));
    auto placed = [&](int id) {
      QWidget* c = Control(w, id);
      return QRect(c->mapTo(w, QPoint(0, 0)) - QPoint(2, 2), c->size());
    };
    EXPECT_EQ(placed(kSourceField), DialogRect(5, 15, 220, 15));
    EXPECT_EQ(placed(kBrowseButton), DialogRect(5, 65, 105, 20));
    EXPECT_EQ(placed(kIdAbort), DialogRect(180, 95, 40, 25));
    EXPECT_EQ(placed(kPercentText), DialogRect(180, 125, 25, 10));
    if (QFontDatabase::families().contains("IPAPGothic")) {
      EXPECT_EQ(QFontInfo(w->font()).family(), "IPAPGothic");
    }
    SaveScreenshot(w, "main-make");

    // Progress and status lines as the runs set them, shown once Qt has
    // handled its events: the text goes past 100 percent, the bar stops.
    rig->ui.ResetProgress(0);
    rig->ui.SetProgress(5);
    rig->ui.ShowCurrentFile(Sjis("\\tmp\\ゲーム\\a.txt"));
    QCoreApplication::processEvents();
    EXPECT_EQ(Control<QLabel>(w, kPercentText)->text(), "500%");
    EXPECT_EQ(Control<QProgressBar>(w, kProgressBar)->value(), 100);
    EXPECT_EQ(Control<QLabel>(w, kToLine)->text(), "/tmp/ゲーム/a.txt");
    rig->ui.ResetProgress(100);
    rig->ui.SetProgress(7);
    QCoreApplication::processEvents();
    EXPECT_EQ(Control<QLabel>(w, kPercentText)->text(), "  7%");
    EXPECT_EQ(Control<QProgressBar>(w, kProgressBar)->value(), 7);

    // Browse: the folder picker with its title; the choice fills the field.
    ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
      EXPECT_EQ(seen.title, Q(msg::kBrowseTitle));
      auto* picker = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(picker, nullptr);
      picker->setDirectory(QString::fromStdString(dir.path.string()));
      picker->selectFile("picked");
      QMetaObject::invokeMethod(picker, "accept");
    });
    Press(Control<QPushButton>(w, kBrowseButton));
    EXPECT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(Control<QLineEdit>(w, kDestinationField)->text(),
              QString::fromStdString(picked.string()));
    Press(Control<QPushButton>(w, kIdCancel));
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(MainWindowWidget(), nullptr);

  const fs::path set = dir.path / "set";
  WriteFileBytes(set / "kelvod.lst", "       2\r\nsample\r\nID1\r\nID0\r\n");
  status = RunWindow(set, "", [&] {
    QWidget* w = MainWindowWidget();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), Q(msg::kCaptionExtract));
    EXPECT_TRUE(HasLabel(w, Q(msg::kLabelSourceExtract)));
    EXPECT_TRUE(HasLabel(w, Q(msg::kLabelDestinationExtract)));
    EXPECT_EQ(Control<QLineEdit>(w, kSourceField)->text(), QString::fromStdString(set.string()));
    EXPECT_TRUE(Control<QLineEdit>(w, kDestinationField)->text().endsWith("/Games/sample"));
    ExpectIdle(w, true);
    SaveScreenshot(w, "main-extract");
    w->close();  // the close box is Exit
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(MainWindowWidget(), nullptr);
}

TEST_F(WindowTest, DuringARunOnlyAbortWorksAndItAsksFirst) {
  // A larger work folder, so that the run lasts long enough to click in.
  WriteFileBytes(work / "data" / "big.bin", RandomBytes(6 << 20, 7));
  const fs::path out = dir.path / "out";
  int abortClicks = 0, questions = 0;
  QString toLineAtCancel;
  bool closeRefused = false, ownerTried = false;

  ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << seen.text.toStdString();
    QWidget* w = MainWindowWidget();
    if (seen.text == Q(msg::kMsgConfirmAbort)) {
      ++questions;
      EXPECT_EQ(seen.title, Q(msg::kCaptionConfirm));
      EXPECT_EQ(seen.icon, QMessageBox::Question);
      EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
      if (abortClicks == 1) {
        // The owner takes no click while the box is open.
        if (!ownerTried) {
          ownerTried = true;
          Press(Control<QPushButton>(w, kIdAbort));
        }
        toLineAtCancel = Control<QLabel>(w, kToLine)->text();
        Press(box->button(QMessageBox::Cancel));
      } else {
        Press(box->button(QMessageBox::Ok));
      }
    } else if (seen.text == Q(msg::kMsgAborted)) {
      EXPECT_EQ(seen.icon, QMessageBox::Warning);
      SaveScreenshot(modal, "message-box");
      Press(box->button(QMessageBox::Ok));
    } else {
      Press(box->button(QMessageBox::Ok));  // the confirmation of the run, the disk number
    }
  });

  // Looks at the window whenever the run lets Qt handle its events.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* w = MainWindowWidget();
    if (!w || QApplication::activeModalWidget() || !Control(w, kIdAbort)->isEnabled()) return;
    if (abortClicks == 0) {
      ExpectIdle(w, false);
      w->close();
      closeRefused = w->isVisible();
    } else if (abortClicks == 1 && Control<QLabel>(w, kToLine)->text() == toLineAtCancel) {
      return;  // Cancel left the run going: wait until it is at another file
    } else if (abortClicks >= 2) {
      return;
    } else {
      SaveScreenshot(w, "main-busy");
    }
    ++abortClicks;
    Press(Control<QPushButton>(w, kIdAbort));
  });

  int status = RunWindow(work, work.string(), [&] {
    QWidget* w = MainWindowWidget();
    TypeDestination(out);
    poll.start(2);
    Press(Control<QPushButton>(w, kIdOk));  // returns when the run is over
    poll.stop();
    EXPECT_EQ(abortClicks, 2);
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(closeRefused);
    EXPECT_EQ(rig->state.WorkActive, 0);
    ASSERT_EQ(MainWindowWidget(), w) << "an aborted run leaves the window open";
    ExpectIdle(w, true);
    EXPECT_FALSE(fs::exists(out / "kelvod.lst"));
    Press(Control<QPushButton>(w, kIdCancel));
  });
  EXPECT_EQ(status, 2);  // the last run did not end normally
  ASSERT_FALSE(answerer.seen.empty());
  EXPECT_EQ(answerer.seen.back().text, Q(msg::kMsgAborted));
}

TEST_F(WindowTest, MessageBoxesAndPromptsAnswerAsTheirStylesSay) {
  struct Style {
    unsigned style;
    QMessageBox::Icon icon;
    bool cancel;
  };
  const Style styles[] = {{kStopOk, QMessageBox::Critical, false},
                          {kQuestionOkCancel, QMessageBox::Question, true},
                          {kExclamationOk, QMessageBox::Warning, false},
                          {kExclamationOkCancel, QMessageBox::Warning, true},
                          {kInformationOk, QMessageBox::Information, false},
                          {kInformationOkCancel, QMessageBox::Information, true}};
  const std::string text = Sjis("ﾌｧｲﾙ名： \\tmp\\a<b>.txt \n2行目");
  for (const Style& s : styles) {
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
      ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
        EXPECT_EQ(seen.icon, s.icon);
        EXPECT_EQ(seen.buttons.size(), s.cancel ? 2 : 1);
        EXPECT_EQ(seen.defaultButton,
                  qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->text());
        PressKey(modal, key);
      });
      int answer = fe->MessageDialog(text, msg::kCaptionStop, s.style);
      EXPECT_EQ(answer, key == Qt::Key_Escape && s.cancel ? kIdCancel : kIdOk) << s.style;
      ASSERT_EQ(answerer.seen.size(), 1u);
      EXPECT_EQ(answerer.seen[0].title, Q(msg::kCaptionStop));
      // Paths in the host's form, shown as plain text.
      EXPECT_EQ(answerer.seen[0].text, QString("ﾌｧｲﾙ名： /tmp/a<b>.txt \n2行目"));
    }
  }

  // The overwrite prompt: each button, Escape, Enter and the close box.
  const std::string path = Sjis("\\tmp\\game\\ゲーム説明.txt");
  const QStringList overwriteButtons = {Q(msg::kButtonOverwrite), Q(msg::kButtonOverwriteAll),
                                        Q(msg::kButtonSkip), Q(msg::kButtonForceStop)};
  struct Answer {
    std::function<void(QWidget*)> act;
    int id;
  };
  const std::vector<Answer> overwriteAnswers = {
      {[&](QWidget* m) { Press(m, overwriteButtons[0]); }, kButtonOverwrite},
      {[&](QWidget* m) { Press(m, overwriteButtons[1]); }, kButtonOverwriteAll},
      {[&](QWidget* m) { Press(m, overwriteButtons[2]); }, kButtonSkip},
      {[&](QWidget* m) { Press(m, overwriteButtons[3]); }, kButtonOverwriteAbort},
      {[](QWidget* m) { PressKey(m, Qt::Key_Escape); }, kButtonSkip},
      {[](QWidget* m) { PressKey(m, Qt::Key_Return); }, kButtonOverwrite},
      {[](QWidget* m) { m->close(); }, kButtonSkip}};
  for (const Answer& a : overwriteAnswers) {
    ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
      EXPECT_EQ(seen.title, Q(msg::kCaptionConfirm));
      EXPECT_EQ(seen.text, "/tmp/game/ゲーム説明.txt");
      EXPECT_TRUE(HasLabel(modal, Q(msg::kTextOverwrite)));
      EXPECT_EQ(seen.buttons, overwriteButtons);
      EXPECT_EQ(seen.defaultButton, overwriteButtons[0]);
      if (a.id == kButtonOverwriteAbort) SaveScreenshot(modal, "overwrite-prompt");
      a.act(modal);
    });
    EXPECT_EQ(fe->OverwriteDialog(path), a.id);
    EXPECT_EQ(answerer.seen.size(), 1u);
  }

  // The retry prompt.
  const QStringList retryButtons = {Q(msg::kButtonRetry), Q(msg::kButtonRetryAbort)};
  const std::vector<Answer> retryAnswers = {
      {[&](QWidget* m) { Press(m, retryButtons[0]); }, kButtonRetry},
      {[&](QWidget* m) { Press(m, retryButtons[1]); }, kButtonRetryAbort},
      {[](QWidget* m) { PressKey(m, Qt::Key_Escape); }, kButtonRetryAbort},
      {[](QWidget* m) { PressKey(m, Qt::Key_Return); }, kButtonRetry},
      {[](QWidget* m) { m->close(); }, kButtonRetryAbort}};
  for (const Answer& a : retryAnswers) {
    ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
      EXPECT_EQ(seen.title, Q(msg::kCaptionConfirm));
      EXPECT_EQ(seen.text, "/tmp/game/ゲーム説明.txt");
      EXPECT_EQ(Control<QLabel>(modal, kRetryReason)->text(), Q(msg::kMsgCopyFailed));
      EXPECT_TRUE(HasLabel(modal, Q(msg::kTextRetry)));
      EXPECT_EQ(seen.buttons, retryButtons);
      EXPECT_EQ(seen.defaultButton, retryButtons[0]);
      if (a.id == kButtonRetry) SaveScreenshot(modal, "retry-prompt");
      a.act(modal);
    });
    EXPECT_EQ(fe->RetryDialog(path, msg::kMsgCopyFailed), a.id);
    EXPECT_EQ(answerer.seen.size(), 1u);
  }
}

}  // namespace
