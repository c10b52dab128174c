// The module's side of the plain C interface: Qt's application object, the
// main window, the message boxes, the prompts, the folder picker and the
// pump. Nothing here throws across the interface: each entry catches what
// Qt or the C++ runtime could throw and answers as Escape would.
#include <dlfcn.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <cstring>
#include <string>

#include "app/dialogue/ids.h"
#include "app/frontends/qt/module/main_dialog.h"
#include "app/frontends/qt/module/prompts.h"
#include "app/frontends/qt/window_module.h"

struct KvWindowSession {
  const KvWindowHost* host = nullptr;
  const KvWindowTexts* texts = nullptr;
  QTimer* ticks = nullptr;
  QPointer<MainDialog> window;
  QEventLoop* loop = nullptr;
  bool destroyed = false;
};

namespace {

// Qt ends the process when it cannot reach the display it picked, so the
// display is tried first, where the program can still fall back.
class DisplayProbe {
 public:
  ~DisplayProbe() {
    // Only once Qt has its own connection: an X server left without
    // clients resets, and drops whoever connects meanwhile.
    if (connection_) disconnect_(connection_);
  }

  bool Usable(std::string& why) {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return true;  // chosen on purpose
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
      const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms");
      if (!platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty())
        return true;
    }
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
      why = "no X display (DISPLAY is not set) and no Wayland support in Qt";
      return false;
    }
    // libxcb is what Qt's X11 plugin uses; asked without linking it, and
    // left loaded for the plugin.
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return true;  // Qt will say what is wrong
    auto connect = reinterpret_cast<void* (*)(const char*, int*)>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<int (*)(void*)>(dlsym(xcb, "xcb_connection_has_error"));
    disconnect_ = reinterpret_cast<void (*)(void*)>(dlsym(xcb, "xcb_disconnect"));
    if (!connect || !hasError || !disconnect_) return true;
    connection_ = connect(nullptr, nullptr);
    if (connection_ && hasError(connection_) == 0) return true;
    why = "cannot connect to the X display " + display.toStdString();
    return false;
  }

 private:
  void* connection_ = nullptr;
  void (*disconnect_)(void*) = nullptr;
};

// The window icon: a disk.
QIcon DiskIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(Qt::black);
  p.setBrush(QColor(0, 0, 128));
  p.drawRect(2, 2, 27, 27);
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(9, 2, 14, 9);
  p.setBrush(Qt::white);
  p.drawRect(6, 16, 20, 13);
  p.setPen(QColor(0, 0, 128));
  for (int y = 20; y <= 26; y += 3) p.drawLine(9, y, 22, y);
  return QIcon(pixmap);
}

void StartApplication() {
  // Qt keeps pointers to these for the life of the application object.
  static int argc = 1;
  static char name[] = "kelvod";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // kept for the rest of the process
  QApplication::setApplicationName(QStringLiteral("kelvod"));
  // The window goes when the program destroys it, not when the last one closes.
  QApplication::setQuitOnLastWindowClosed(false);
  // A Japanese proportional Gothic stands in for the templates' font; the
  // style hint falls back on the system's sans font where it is missing.
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPointSize(9);
  font.setStyleHint(QFont::SansSerif);
  // Whole pixels, as the templates' system draws its text: with the
  // desktop's slight hinting a narrow kanji such as the last of 強制終了 sits
  // apart from the others.
  font.setHintingPreference(QFont::PreferFullHinting);
  QApplication::setFont(font);
  QApplication::setWindowIcon(DiskIcon());
}

// Qt's own texts (the message boxes' OK and Cancel, the folder picker) in
// the language of the program's, where Qt's translations are installed;
// Qt's built-in texts are English.
void UseQtTranslations(const char* language) {
  static QTranslator* current = nullptr;
  if (current) {
    QApplication::removeTranslator(current);
    delete current;
    current = nullptr;
  }
  const QLocale locale(QString::fromUtf8(language ? language : "ja"));
  if (locale.language() == QLocale::English) return;
  auto* translator = new QTranslator(qApp);
  if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QApplication::installTranslator(translator))
    current = translator;
  else
    delete translator;
}

void CopyReason(const std::string& reason, char* why, size_t size) {
  if (!why || size == 0) return;
  std::strncpy(why, reason.c_str(), size - 1);
  why[size - 1] = '\0';
}

// The owner of a dialog: the main window while it is on screen.
QWidget* Owner(KvWindowSession* s) {
  return s->window && s->window->isVisible() ? s->window.data() : nullptr;
}

void DeleteWindow(KvWindowSession* s) {
  delete s->window.data();
  s->window = nullptr;
}

template <typename F>
void Safely(F f) noexcept {
  try {
    f();
  } catch (...) {
  }
}

template <typename F, typename R>
R Safely(F f, R escape) noexcept {
  try {
    return f();
  } catch (...) {
    return escape;
  }
}

KvWindowSession* OpenSession(const KvWindowHost* host, const KvWindowTexts* texts, char* why,
                             size_t whySize) {
  return Safely(
      [&]() -> KvWindowSession* {
        if (!QApplication::instance()) {
          DisplayProbe probe;
          std::string reason;
          if (!probe.Usable(reason)) {
            CopyReason(reason, why, whySize);
            return nullptr;
          }
          StartApplication();
        }
        UseQtTranslations(texts->language);
        auto* session = new KvWindowSession;
        session->host = host;
        session->texts = texts;
        // The program hears of a request to end even while nothing else
        // happens; a dialog open then is closed as Escape closes it.
        session->ticks = new QTimer;
        QObject::connect(session->ticks, &QTimer::timeout, [session] {
          if (!session->host->tick || !session->host->tick(session->host->context)) return;
          while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            if (QApplication::activeModalWidget() == modal) break;
          }
        });
        session->ticks->start(100);
        return session;
      },
      static_cast<KvWindowSession*>(nullptr));
}

void CloseSession(KvWindowSession* s) {
  Safely([&] {
    DeleteWindow(s);
    delete s->ticks;
    delete s;
  });
}

void CreateMainWindow(KvWindowSession* s, const char* caption, const char* sourceLabel,
                      const char* destinationLabel) {
  Safely([&] {
    DeleteWindow(s);
    s->destroyed = false;
    s->window = new MainDialog(*s->host, *s->texts, QString::fromUtf8(caption),
                               QString::fromUtf8(sourceLabel), QString::fromUtf8(destinationLabel));
  });
}

void ShowMainWindow(KvWindowSession* s) {
  Safely([&] {
    if (s->window && !s->destroyed) s->window->ShowCentred();
  });
}

void RunMainWindow(KvWindowSession* s) {
  Safely([&] {
    if (s->destroyed) return;
    QEventLoop loop;
    s->loop = &loop;
    loop.exec();
    s->loop = nullptr;
    DeleteWindow(s);
  });
}

void DestroyMainWindow(KvWindowSession* s) {
  Safely([&] {
    s->destroyed = true;
    if (s->window) s->window->hide();
    // Inside the event loop the call may come from one of the window's own
    // buttons: it is deleted once the loop has returned.
    if (s->loop)
      s->loop->quit();
    else
      DeleteWindow(s);
  });
}

void PumpEvents(KvWindowSession*) {
  Safely([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

QMessageBox::Icon IconOf(unsigned style) {
  switch (style & kStyleIconMask) {
    case kStyleStop:
      return QMessageBox::Critical;
    case kStyleQuestion:
      return QMessageBox::Question;
    case kStyleExclamation:
      return QMessageBox::Warning;
    case kStyleInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int ShowMessageBox(KvWindowSession* s, const char* text, const char* caption, unsigned style) {
  const bool withCancel = (style & kStyleOkCancelMask) == kStyleOkCancel;
  const int escape = withCancel ? kIdCancel : kIdOk;
  return Safely(
      [&] {
        QMessageBox box(IconOf(style), QString::fromUtf8(caption), QString::fromUtf8(text),
                        withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                        Owner(s));
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::ApplicationModal);
        box.setDefaultButton(QMessageBox::Ok);
        // Escape and the close box answer Cancel where there is one, else OK.
        box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::Ok);
        return box.exec() == QMessageBox::Cancel ? kIdCancel : kIdOk;
      },
      escape);
}

int AskOverwrite(KvWindowSession* s, const char* path) {
  return Safely([&] { return RunOverwritePrompt(Owner(s), *s->texts, QString::fromUtf8(path)); },
                static_cast<int>(kButtonSkip));
}

int AskRetry(KvWindowSession* s, const char* path, const char* reason) {
  return Safely(
      [&] {
        return RunRetryPrompt(Owner(s), *s->texts, QString::fromUtf8(path),
                              QString::fromUtf8(reason));
      },
      static_cast<int>(kButtonRetryAbort));
}

void SetControlText(KvWindowSession* s, int id, const char* text) {
  Safely([&] {
    if (s->window) s->window->SetText(id, QString::fromUtf8(text));
  });
}

void GetControlText(KvWindowSession* s, int id, KvPutText put, void* sink) {
  Safely([&] {
    const QByteArray text = s->window ? s->window->Text(id).toUtf8() : QByteArray();
    put(sink, text.constData(), static_cast<size_t>(text.size()));
  });
}

void EnableControl(KvWindowSession* s, int id, int enabled) {
  Safely([&] {
    if (s->window) s->window->Enable(id, enabled != 0);
  });
}

void SetProgressBar(KvWindowSession* s, int position) {
  Safely([&] {
    if (s->window) s->window->SetProgress(position);
  });
}

int BrowseForFolder(KvWindowSession* s, const char* title, KvPutText put, void* sink) {
  return Safely(
      [&] {
        const QString chosen = QFileDialog::getExistingDirectory(
            Owner(s), QString::fromUtf8(title), QDir::homePath(), QFileDialog::ShowDirsOnly);
        if (chosen.isEmpty()) return 0;
        const QByteArray path = chosen.toUtf8();
        put(sink, path.constData(), static_cast<size_t>(path.size()));
        return 1;
      },
      0);
}

constexpr KvWindowInterface kInterface = {
    KV_WINDOW_INTERFACE_VERSION,
    &OpenSession,
    &CloseSession,
    &CreateMainWindow,
    &ShowMainWindow,
    &RunMainWindow,
    &DestroyMainWindow,
    &PumpEvents,
    &ShowMessageBox,
    &AskOverwrite,
    &AskRetry,
    &SetControlText,
    &GetControlText,
    &EnableControl,
    &SetProgressBar,
    &BrowseForFolder,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const KvWindowInterface* kelvod_window_interface(
    void) {
  return &kInterface;
}
