#include "qt_window_driver.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>

#include "text/cp932.h"

const char* QtLibraryLeaks() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
// Looked up by LeakSanitizer in a sanitized build.
extern "C" const char* __lsan_default_suppressions() { return QtLibraryLeaks(); }

QString Q(const char* cp932Text) {
  std::string utf8;
  EXPECT_TRUE(cp932::ToUtf8(cp932Text, utf8));
  return QString::fromStdString(utf8);
}

ModalAnswerer::ModalAnswerer(std::function<void(QWidget*, const SeenDialog&)> handler)
    : handler_(std::move(handler)) {
  qApp->installEventFilter(this);
}

ModalAnswerer::~ModalAnswerer() { qApp->removeEventFilter(this); }

bool ModalAnswerer::eventFilter(QObject* object, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(object);
  if (event->type() != QEvent::Show || !w || !w->isWindow() || !w->isModal()) return false;
  // Answered from the dialog's own event loop, once it runs.
  QTimer::singleShot(0, this, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal->property("kvAnswered").toBool()) return;
    modal->setProperty("kvAnswered", true);
    SeenDialog s;
    s.title = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      s.text = box->text();
      s.icon = box->icon();
    }
    for (int id : {kOverwriteFileName, kRetryFileName})
      if (auto* name = Control<QLabel>(modal, id)) s.text = name->text();
    for (QPushButton* b : modal->findChildren<QPushButton*>()) {
      if (!b->isVisible()) continue;
      s.buttons << b->text();
      if (b->isDefault()) s.defaultButton = b->text();
    }
    seen.push_back(s);
    handler_(modal, s);
  });
  return false;
}

void Press(QAbstractButton* button) {
  ASSERT_NE(button, nullptr) << "no such button";
  QWidget* top = button->window();
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                    button->mapTo(top, button->rect().center()));
}

void Press(QWidget* dialog, const QString& buttonText) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>())
    if (b->text() == buttonText) return Press(b);
  ADD_FAILURE() << "no button " << buttonText.toStdString();
}

void PressOk(QWidget* messageBox) {
  auto* box = qobject_cast<QMessageBox*>(messageBox);
  ASSERT_NE(box, nullptr) << messageBox->windowTitle().toStdString();
  Press(box->button(QMessageBox::Ok));
}

QWidget* MainWindowWidget() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && Control(w, kDestinationField)) return w;
  return nullptr;
}

void SaveScreenshot(QWidget* widget, const std::string& name) {
  fs::create_directories(KELVOD_SCREENSHOT_DIR);
  const std::string path = std::string(KELVOD_SCREENSHOT_DIR "/") + name + ".png";
  EXPECT_TRUE(widget->grab().save(QString::fromStdString(path), "PNG")) << path;
}

void WindowTest::SetUp() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // unless a test run picks a display
  oldCwd_ = fs::current_path();
  for (const char* name : {"HOME", "TMPDIR", "XDG_DATA_HOME"}) {
    const char* v = std::getenv(name);
    savedEnv_.emplace_back(name, v ? v : "");
    fs::create_directories(dir.path / name);
    setenv(name, (dir.path / name).c_str(), 1);
  }
  work = dir.path / "work";
  // The README's pictures show a home folder of their own
  // (tools/readme-pictures.sh): HOME there, and the sample in HOME/Games.
  if (const char* home = std::getenv("KELVOD_PICTURE_HOME"); home && *home) {
    setenv("HOME", home, 1);
    work = fs::path(home) / "Games" / "sample";
  }
  std::string make =
      "python3 '" KELVOD_SOURCE_DIR "/tools/make_sample.py' '" + work.string() + "' >/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0) << "the sample could not be made";
  std::string why;
  fe = WindowFrontEnd::Open(KELVOD_WINDOW_MODULE, why);
  ASSERT_NE(fe, nullptr) << why;
}

void WindowTest::TearDown() {
  fe.reset();
  rig.reset();
  if (!oldCwd_.empty()) fs::current_path(oldCwd_);
  for (const auto& [name, value] : savedEnv_) setenv(name.c_str(), value.c_str(), 1);
}

int WindowTest::RunWindow(const fs::path& cwd, const std::string& commandLine,
                          std::function<void()> script) {
  rig = std::make_unique<Rig>();
  fs::current_path(cwd);
  QTimer::singleShot(0, qApp, std::move(script));
  // A window left open would hang the test until CTest gives up.
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    ADD_FAILURE() << "the window was still open after two minutes";
    std::abort();
  });
  watchdog.start(120000);
  return fe->Run(rig->window, commandLine);
}

void WindowTest::TypeDestination(const fs::path& folder) {
  auto* field = Control<QLineEdit>(MainWindowWidget(), kDestinationField);
  ASSERT_NE(field, nullptr);
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, QString::fromStdString(folder.string()));
}
