// Drives the real desktop window in tests: the module is loaded as the
// program loads it, the window is found among Qt's top-level widgets, and
// every message box and prompt is answered by finding the active modal
// widget and pressing its buttons or keys, as a person would.
#pragma once

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/frontends/qt/window_frontend.h"
#include "support/disk_fixtures.h"
#include "support/rig.h"

// Qt loads the system's font configuration and D-Bus libraries, which keep
// a few allocations until the process ends: LeakSanitizer suppressions for
// them, used by this test program and the kelvod it starts.
const char* QtLibraryLeaks();

// UTF-8 of a code page 932 text of the program.
QString Q(const char* cp932Text);

// What a modal widget showed when it was answered.
struct SeenDialog {
  QString title;
  QString text;  // message text, or the file name of a prompt
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
  QString defaultButton;
};

// Calls the handler with each modal widget once it is the active one.
class ModalAnswerer : public QObject {
 public:
  using Handler = std::function<void(QWidget* modal, const SeenDialog& seen)>;
  explicit ModalAnswerer(Handler handler);
  ~ModalAnswerer() override;
  std::vector<SeenDialog> seen;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  void AnswerActive();
  Handler handler_;
};

// The push button of a dialog or window with this text (nullptr if none).
QPushButton* ButtonWithText(QWidget* parent, const QString& text);
// A mouse click on the button (fails the test when it is missing).
void Press(QAbstractButton* button);
void Press(QWidget* parent, const QString& text);
void PressKey(QWidget* widget, Qt::Key key);
// A control of the main window or of a prompt by its identifier.
template <typename W = QWidget>
W* Control(QWidget* window, int id) {
  return window ? window->findChild<W*>(QString::number(id)) : nullptr;
}
// The visible main window (nullptr when there is none).
QWidget* MainWindowWidget();
// Saves a picture of the widget as NAME.png in the test output folder.
void SaveScreenshot(QWidget* widget, const std::string& name);

// A program instance with the desktop window front end, in temporary
// folders of its own (HOME, TMPDIR, XDG_DATA_HOME), and the sample work
// folder at `work`.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the window for the command line (host form) in the folder cwd;
  // `script` runs once the event loop is up. Returns the exit status.
  int RunWindow(const fs::path& cwd, const std::string& commandLine, std::function<void()> script);
  // Replaces the destination field's text by typing.
  void TypeDestination(const fs::path& folder);

  TempDir dir;
  fs::path work;
  std::unique_ptr<WindowFrontEnd> fe;
  std::unique_ptr<Rig> rig;

 private:
  fs::path oldCwd_;
  std::vector<std::pair<std::string, std::string>> savedEnv_;
};
