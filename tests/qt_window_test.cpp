// The desktop window off screen: the main window in both modes, busy and
// idle states and Abort, the message boxes and prompts with their keys.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include "app/dialogue/resources/messages.h"
#include "app/dialogue/texts.h"
#include "qt_window_driver.h"

namespace {

QStringList Labels(QWidget* window) {
  QStringList texts;
  for (QLabel* l : window->findChildren<QLabel*>()) texts << l->text();
  return texts;
}

QString Text(QWidget* window, int id) {
  QWidget* c = Control(window, id);
  if (auto* edit = qobject_cast<QLineEdit*>(c)) return edit->text();
  if (auto* label = qobject_cast<QLabel*>(c)) return label->text();
  return static_cast<QPushButton*>(c)->text();
}

// Where the control sits inside the client edge, and where the dialog
// units put it with the font's metrics as the dialog manager takes them.
QRect Placed(QWidget* window, int id) {
  QWidget* c = Control(window, id);
  return QRect(c->mapTo(window, QPoint(0, 0)) - QPoint(2, 2), c->size());
}
QRect Units(int x, int y, int w, int h) {
  QFontMetrics m(QApplication::font());
  const int bx =
      (m.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
  auto px = [&](int v) { return (v * bx + 2) / 4; };
  auto py = [&](int v) { return (v * m.height() + 4) / 8; };
  return QRect(px(x), py(y), px(w), py(h));
}

// Rows of an image with a dark pixel: the height of a line of black text.
int InkRows(const QImage& image) {
  int rows = 0;
  for (int y = 0; y < image.height(); ++y) {
    int x = 0;
    while (x < image.width() && qGray(image.pixel(x, y)) >= 128) ++x;
    rows += x < image.width();
  }
  return rows;
}

// Every label of the window, given a line with descenders, shows all of it
// inside its frame: as many rows of ink as the line drawn with room to spare.
void ExpectLabelsHoldALine(QWidget* window) {
  // Any part of it has the full height: the label may show a part.
  const QString line = QString("bg").repeated(40);
  for (QLabel* label : window->findChildren<QLabel*>()) {
    const QString text = label->text();
    label->setText(line);
    const QRect inside = label->contentsRect();
    const int shown = InkRows(label->grab(inside).toImage());
    label->setText(text);
    QImage room(inside.width(), inside.height() * 3, QImage::Format_RGB32);
    room.fill(Qt::white);
    QPainter painter(&room);
    painter.setFont(label->font());
    painter.drawText(room.rect(), Qt::AlignCenter, line);
    painter.end();
    EXPECT_EQ(shown, InkRows(room))
        << "label " << text.toStdString() << ", " << label->height() << " pixels high";
  }
}

void ExpectIdle(QWidget* w, bool idle) {
  for (int id : kBusyIdleControls) EXPECT_EQ(Control(w, id)->isEnabled(), idle) << id;
  EXPECT_EQ(Control(w, kIdAbort)->isEnabled(), !idle);
}

TEST_F(WindowTest, MainWindowFollowsItsTemplateInBothModes) {
  fs::create_directories(dir.path / "picked");
  int status = RunWindow(work, work.string(), [&] {
    QWidget* w = MainWindowWidget();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), Q(msg::kCaptionMake));
    EXPECT_TRUE(Labels(w).contains(Q(msg::kLabelSourceMake)));
    EXPECT_TRUE(Labels(w).contains(Q(msg::kLabelDestinationMake)));
    EXPECT_EQ(Text(w, kSourceField), QString::fromStdString(work.string()));
    EXPECT_TRUE(Text(w, kDestinationField).endsWith("/sample"));  // removable volume or home
    EXPECT_EQ(QStringList(
                  {Text(w, kBrowseButton), Text(w, kIdOk), Text(w, kIdCancel), Text(w, kIdAbort)}),
              QStringList({Q(msg::kButtonBrowse), Q(msg::kButtonRun), Q(msg::kButtonExit),
                           Q(msg::kButtonAbort)}));
    ExpectIdle(w, true);
    // Fixed size without minimize and maximize boxes; the templates' positions.
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_FALSE(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(w->size(), Units(0, 0, 231, 147).size() + QSize(4, 4));
    EXPECT_EQ(Placed(w, kSourceField), Units(5, 15, 220, 15));
    EXPECT_EQ(Placed(w, kIdAbort), Units(180, 95, 40, 25));
    EXPECT_EQ(Placed(w, kPercentText), Units(180, 125, 25, 10));
    if (QFontDatabase::families().contains("IPAPGothic")) {
      EXPECT_EQ(QFontInfo(w->font()).family(), "IPAPGothic");
    }
    ExpectLabelsHoldALine(w);
    SaveScreenshot(w, "main-make");

    // Progress and the "to" line as the runs set them, shown within the
    // display's period: the text goes past 100 percent, the bar stops.
    rig->ui.ResetProgress(0);
    rig->ui.SetProgress(5);
    rig->ui.ShowCurrentFile(Sjis("\\tmp\\ゲーム\\a.txt"));
    QTest::qWait(100);
    EXPECT_EQ(Text(w, kPercentText), "500%");
    EXPECT_EQ(Control<QProgressBar>(w, kProgressBar)->value(), 100);
    EXPECT_EQ(Text(w, kToLine), "/tmp/ゲーム/a.txt");

    // Browse: the folder picker with its title; the choice fills the field.
    ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
      EXPECT_EQ(seen.title, Q(msg::kBrowseTitle));
      auto* picker = qobject_cast<QFileDialog*>(modal);
      picker->setDirectory(QString::fromStdString(dir.path.string()));
      picker->selectFile("picked");
      QMetaObject::invokeMethod(picker, "accept");
    });
    Press(Control<QPushButton>(w, kBrowseButton));
    EXPECT_EQ(Text(w, kDestinationField), QString::fromStdString((dir.path / "picked").string()));
    Press(Control<QPushButton>(w, kIdCancel));
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(MainWindowWidget(), nullptr);

  const fs::path set = dir.path / "set";
  WriteFileBytes(set / "kelvod.lst", "       2\r\nsample\r\nID1\r\nID0\r\n");
  status = RunWindow(set, "", [&] {
    QWidget* w = MainWindowWidget();
    EXPECT_EQ(w->windowTitle(), Q(msg::kCaptionExtract));
    EXPECT_TRUE(Labels(w).contains(Q(msg::kLabelSourceExtract)));
    EXPECT_TRUE(Labels(w).contains(Q(msg::kLabelDestinationExtract)));
    EXPECT_EQ(Text(w, kSourceField), QString::fromStdString(set.string()));
    EXPECT_EQ(Text(w, kDestinationField),
              QString::fromStdString((fs::path(std::getenv("HOME")) / "Games/sample").string()));
    ExpectIdle(w, true);
    SaveScreenshot(w, "main-extract");
    w->close();  // the close box is Exit
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(MainWindowWidget(), nullptr);
}

// English chosen: the window and the message boxes, Qt's own buttons too
// (pictures *-en, to be looked at beside the Japanese ones).
TEST_F(WindowTest, EnglishWhenChosenForTheWindowAndItsBoxes) {
  struct Japanese {
    ~Japanese() { UseTexts(msg::kJapanese); }
  } afterwards;
  UseTexts(msg::kEnglish);
  std::string why;
  fe = WindowFrontEnd::Open(KELVOD_WINDOW_MODULE, why);  // takes the texts as it opens
  ASSERT_NE(fe, nullptr) << why;
  const msg::Catalogue& en = msg::kEnglish;
  std::vector<SeenDialog> seen;
  const int status = RunWindow(work, work.string(), [&] {
    QWidget* w = MainWindowWidget();
    EXPECT_EQ(w->windowTitle(), en.kCaptionMake);
    EXPECT_TRUE(Labels(w).contains(en.kLabelDestinationMake));
    EXPECT_EQ(QStringList(
                  {Text(w, kBrowseButton), Text(w, kIdOk), Text(w, kIdCancel), Text(w, kIdAbort)}),
              QStringList({en.kButtonBrowse, en.kButtonRun, en.kButtonExit, en.kButtonAbort}));
    SaveScreenshot(w, "main-make-en");
    ModalAnswerer answerer([&](QWidget* modal, const SeenDialog&) {
      SaveScreenshot(modal, "confirm-en");
      Press(qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Cancel));
    });
    TypeDestination(dir.path / "out");
    Press(Control<QPushButton>(w, kIdOk));  // the confirmation, cancelled
    seen = answerer.seen;
    Press(Control<QPushButton>(w, kIdCancel));
  });
  EXPECT_EQ(status, 2);  // the run was cancelled
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, en.kCaptionConfirm);
  EXPECT_TRUE(seen[0].text.contains("The game disks will now be made"))
      << seen[0].text.toStdString();
  EXPECT_EQ(seen[0].buttons, QStringList({"OK", "Cancel"}));
}

TEST_F(WindowTest, DuringARunOnlyAbortWorksAndItAsksFirst) {
  // A larger work folder, so that the run lasts long enough to click in.
  WriteFileBytes(work / "data" / "big.bin", RandomBytes(6 << 20, 7));
  int abortClicks = 0, questions = 0;
  QString toLineAtCancel;
  bool closeRefused = false, ownerTried = false;
  ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (seen.text != Q(msg::kMsgConfirmAbort)) {
      if (seen.text == Q(msg::kMsgAborted)) SaveScreenshot(modal, "message-box");
      return PressOk(modal);  // the run's confirmation, the disk number, the abort
    }
    if (++questions == 1) SaveScreenshot(modal, "question-box");
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
    if (abortClicks == 2) return Press(box->button(QMessageBox::Ok));
    if (!ownerTried) {  // the owner takes no click while the box is open
      ownerTried = true;
      Press(Control<QPushButton>(MainWindowWidget(), kIdAbort));
    }
    toLineAtCancel = Text(MainWindowWidget(), kToLine);
    Press(box->button(QMessageBox::Cancel));
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
    } else if (abortClicks == 1) {
      // Cancel left the run going: Abort again once it is at another file.
      if (Text(w, kToLine) == toLineAtCancel) return;
      SaveScreenshot(w, "main-busy");
    } else {
      return;
    }
    ++abortClicks;
    Press(Control<QPushButton>(w, kIdAbort));
  });
  int status = RunWindow(work, work.string(), [&] {
    QWidget* w = MainWindowWidget();
    TypeDestination(dir.path / "out");
    poll.start(2);
    Press(Control<QPushButton>(w, kIdOk));  // returns when the run is over
    poll.stop();
    EXPECT_EQ(abortClicks, 2);
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(closeRefused);
    ASSERT_EQ(MainWindowWidget(), w) << "an aborted run leaves the window open";
    ExpectIdle(w, true);
    EXPECT_FALSE(fs::exists(dir.path / "out" / "kelvod.lst"));
    Press(Control<QPushButton>(w, kIdCancel));
  });
  EXPECT_EQ(status, 2);  // the last run did not end normally
  ASSERT_FALSE(answerer.seen.empty());
  EXPECT_EQ(answerer.seen.back().text, Q(msg::kMsgAborted));
}

TEST_F(WindowTest, MessageBoxesAndPromptsAnswerAsTheirStylesSay) {
  const std::pair<unsigned, QMessageBox::Icon> styles[] = {
      {kStopOk, QMessageBox::Critical},           {kQuestionOkCancel, QMessageBox::Question},
      {kExclamationOk, QMessageBox::Warning},     {kExclamationOkCancel, QMessageBox::Warning},
      {kInformationOk, QMessageBox::Information}, {kInformationOkCancel, QMessageBox::Information}};
  for (const auto& [style, icon] : styles) {
    const bool cancel = (style & kStyleOkCancelMask) != 0;
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
      ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
        EXPECT_EQ(seen.icon, icon);
        EXPECT_EQ(seen.buttons.size(), cancel ? 2 : 1);
        // In Japanese like the texts, where Qt's translations are installed.
        if (cancel &&
            QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm")) {
          EXPECT_TRUE(seen.buttons.contains("キャンセル")) << seen.buttons.join(",").toStdString();
        }
        EXPECT_EQ(seen.defaultButton,
                  qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->text());
        QTest::keyClick(modal, key);
      });
      EXPECT_EQ(
          fe->MessageDialog(Sjis("ﾌｧｲﾙ名： \\tmp\\a<b>.txt \n2行目"), msg::kCaptionStop, style),
          key == Qt::Key_Escape && cancel ? kIdCancel : kIdOk);
      ASSERT_EQ(answerer.seen.size(), 1u);
      EXPECT_EQ(answerer.seen[0].title, Q(msg::kCaptionStop));
      // Paths in the host's form, as plain text.
      EXPECT_EQ(answerer.seen[0].text, "ﾌｧｲﾙ名： /tmp/a<b>.txt \n2行目");
    }
  }

  // The prompts: each button, Escape (button 2) and Enter (the default, 1).
  const std::string path = Sjis("\\tmp\\game\\ゲーム説明.txt");
  const QStringList overwrite = {Q(msg::kButtonOverwrite), Q(msg::kButtonOverwriteAll),
                                 Q(msg::kButtonSkip), Q(msg::kButtonForceStop)};
  const QStringList retry = {Q(msg::kButtonRetry), Q(msg::kButtonRetryAbort)};
  struct Prompt {
    QStringList buttons;
    std::vector<int> ids;
    const char* text;
    std::function<int()> open;
  };
  const Prompt prompts[] = {
      {overwrite,
       {kButtonOverwrite, kButtonOverwriteAll, kButtonSkip, kButtonOverwriteAbort},
       msg::kTextOverwrite,
       [&] { return fe->OverwriteDialog(path); }},
      {retry, {kButtonRetry, kButtonRetryAbort}, msg::kTextRetry, [&] {
         return fe->RetryDialog(path, msg::kMsgCopyFailed);
       }}};
  for (const Prompt& p : prompts) {
    for (int answer = 0; answer < p.buttons.size() + 2; ++answer) {
      const bool byButton = answer < p.buttons.size();
      ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
        EXPECT_EQ(seen.title, Q(msg::kCaptionConfirm));
        EXPECT_EQ(seen.text, "/tmp/game/ゲーム説明.txt");
        EXPECT_TRUE(Labels(modal).contains(Q(p.text)));
        EXPECT_EQ(seen.buttons, p.buttons);
        EXPECT_EQ(seen.defaultButton, p.buttons[0]);
        if (Control(modal, kRetryReason)) {
          EXPECT_EQ(Text(modal, kRetryReason), Q(msg::kMsgCopyFailed));
        }
        if (answer == 0)
          SaveScreenshot(modal, p.ids.size() == 4 ? "overwrite-prompt" : "retry-prompt");
        if (byButton) return Press(modal, p.buttons[answer]);
        QTest::keyClick(modal, answer == p.buttons.size() ? Qt::Key_Escape : Qt::Key_Return);
      });
      const int expected = byButton                     ? p.ids[answer]
                           : answer == p.buttons.size() ? kIdCancel
                                                        : kIdOk;
      EXPECT_EQ(p.open(), expected) << answer;
      EXPECT_EQ(answerer.seen.size(), 1u);
    }
  }
}

}  // namespace
