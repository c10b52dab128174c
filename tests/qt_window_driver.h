// Drives the real desktop window: the module is loaded as the program loads
// it, and every dialog is answered by finding the active modal widget and
// pressing its buttons or keys, as a person would.
#pragma once

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <functional>
#include <memory>

#include "app/frontends/qt/window_frontend.h"
#include "support/disk_fixtures.h"
#include "support/rig.h"

// LeakSanitizer suppressions for the allocations that the system libraries
// Qt loads (fontconfig, D-Bus) keep until the process ends.
const char* QtLibraryLeaks();
// UTF-8 of a code page 932 text of the program.
QString Q(const char* cp932Text);

// What a modal widget showed: title, message text (or a prompt's file
// name), icon, buttons and the default one.
struct SeenDialog {
  QString title, text, defaultButton;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
};

// Hands each modal widget, once it is the active one, to the handler.
class ModalAnswerer : public QObject {
 public:
  explicit ModalAnswerer(std::function<void(QWidget*, const SeenDialog&)> handler);
  ~ModalAnswerer() override;
  std::vector<SeenDialog> seen;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  std::function<void(QWidget*, const SeenDialog&)> handler_;
};

// A click through the window system, so that modality applies.
void Press(QAbstractButton* button);
void Press(QWidget* dialog, const QString& buttonText);
void PressOk(QWidget* messageBox);
template <typename W = QWidget>
W* Control(QWidget* window, int id) {
  return window ? window->findChild<W*>(QString::number(id)) : nullptr;
}
QWidget* MainWindowWidget();  // the visible main window, or nullptr
// NAME.png in the tests' picture folder.
void SaveScreenshot(QWidget* widget, const std::string& name);

// A program instance with the window front end in folders of its own (HOME,
// TMPDIR, XDG_DATA_HOME), and the sample work folder at `work`.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs the window in cwd; `script` runs once its event loop is up.
  // Returns the exit status.
  int RunWindow(const fs::path& cwd, const std::string& commandLine, std::function<void()> script);
  void TypeDestination(const fs::path& folder);

  TempDir dir;
  fs::path work;
  std::unique_ptr<WindowFrontEnd> fe;
  std::unique_ptr<Rig> rig;

 private:
  fs::path oldCwd_;
  std::vector<std::pair<std::string, std::string>> savedEnv_;
};
