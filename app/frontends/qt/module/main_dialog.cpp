#include "app/frontends/qt/module/main_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "app/dialogue/ids.h"

namespace {

// The template's client area, in dialog units.
constexpr int kClientWidth = 231;
constexpr int kClientHeight = 147;
// The client edge: a sunken frame around the client area.
constexpr int kClientEdge = 2;
// The status lines, the percentage and the bar repaint at most this often.
constexpr std::chrono::milliseconds kStatusPeriod(40);

QLineEdit* Field(bool readOnly) {
  auto* edit = new QLineEdit;
  edit->setReadOnly(readOnly);
  if (readOnly) {
    // Not a tab stop: the focus starts in the destination field.
    edit->setFocusPolicy(Qt::ClickFocus);
    // A read-only field has the face colour, as in the template's system.
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
  }
  return edit;
}

}  // namespace

MainDialog::MainDialog(const KvWindowHost& host, const KvWindowTexts& texts, const QString& caption,
                       const QString& sourceLabel, const QString& destinationLabel)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      host_(host),
      units_(QApplication::font()),
      edge_(new QFrame(this)),
      client_(new QWidget(edge_)),
      controls_(client_, units_) {
  setWindowTitle(caption);
  const QSize client(units_.X(kClientWidth), units_.Y(kClientHeight));
  edge_->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  edge_->setGeometry(0, 0, client.width() + 2 * kClientEdge, client.height() + 2 * kClientEdge);
  client_->setGeometry(kClientEdge, kClientEdge, client.width(), client.height());
  setFixedSize(edge_->size());

  TemplateControls& c = controls_;
  c.Static(0, sourceLabel, {5, 5, 220, 10}, TextAlign::kCentre, true, false);
  c.Add(kSourceField, Field(true), {5, 15, 220, 15});
  c.Static(0, destinationLabel, {5, 35, 220, 10}, TextAlign::kCentre, true, false);
  c.Add(kDestinationField, Field(false), {5, 45, 220, 15});
  c.Button(kBrowseButton, QString::fromUtf8(texts.browse), {5, 65, 105, 20});
  c.Button(kIdOk, QString::fromUtf8(texts.run), {130, 65, 45, 20});
  c.Button(kIdCancel, QString::fromUtf8(texts.exit), {180, 65, 45, 20});
  auto* frame = new QFrame;
  frame->setFrameStyle(QFrame::Box | QFrame::Sunken);  // etched
  c.Add(0, frame, {5, 90, 220, 50});
  c.Static(0, QString::fromUtf8(texts.from), {10, 95, 15, 8}, TextAlign::kCentre, false, false);
  c.Static(kFromLine, {}, {30, 95, 145, 10}, TextAlign::kLeft, true, false);
  c.Static(0, QString::fromUtf8(texts.to), {10, 110, 15, 8}, TextAlign::kCentre, false, false);
  c.Static(kToLine, {}, {30, 110, 145, 10}, TextAlign::kLeft, true, false);
  bar_ = c.Add(kProgressBar, new QProgressBar, {30, 125, 145, 10});
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  c.Static(kPercentText, {}, {180, 125, 25, 10}, TextAlign::kRight, true, false);
  c.Button(kIdAbort, QString::fromUtf8(texts.abort), {180, 95, 40, 25});

  statusTimer_.setSingleShot(true);
  statusTimer_.setInterval(kStatusPeriod);
  QObject::connect(&statusTimer_, &QTimer::timeout, this, [this] { ApplyStatus(); });

  for (int id : {kBrowseButton, kIdOk, kIdCancel, kIdAbort}) {
    auto* button = static_cast<QPushButton*>(c.Find(id));
    QObject::connect(button, &QPushButton::clicked, this, [this, id] { Command(id); });
  }
}

namespace {

// The status lines, the percentage and the bar change with every file and
// every percent of it, far more often than the screen needs.
bool IsStatus(int id) { return id == kFromLine || id == kToLine || id == kPercentText; }

}  // namespace

void MainDialog::SetText(int id, const QString& text) {
  if (IsStatus(id)) {
    pendingTexts_[id] = text;
    QueueStatusUpdate();
    return;
  }
  QWidget* w = controls_.Find(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w))
    edit->setText(text);
  else if (auto* label = qobject_cast<QLabel*>(w))
    label->setText(text);
  else if (auto* button = qobject_cast<QPushButton*>(w))
    button->setText(text);
}

QString MainDialog::Text(int id) const {
  if (auto pending = pendingTexts_.find(id); pending != pendingTexts_.end()) return pending->second;
  QWidget* w = controls_.Find(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QPushButton*>(w)) return button->text();
  return {};
}

void MainDialog::Enable(int id, bool enabled) {
  if (QWidget* w = controls_.Find(id)) w->setEnabled(enabled);
}

void MainDialog::SetProgress(int position) {
  pendingBar_ = qBound(0, position, 100);
  QueueStatusUpdate();
}

// The status controls take their latest values at most every
// kStatusPeriod, when Qt handles its events (at the pump, or in a dialog's
// loop): a few repaints a second instead of one per change (QProgressBar
// even repaints at once on every change).
void MainDialog::QueueStatusUpdate() {
  if (!statusTimer_.isActive()) statusTimer_.start();
}

void MainDialog::ApplyStatus() {
  for (const auto& [id, text] : pendingTexts_)
    static_cast<QLabel*>(controls_.Find(id))->setText(text);
  pendingTexts_.clear();
  if (pendingBar_ >= 0) bar_->setValue(pendingBar_);
  pendingBar_ = -1;
}

void MainDialog::ShowCentred() {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  controls_.Find(kDestinationField)->setFocus();
  show();
  raise();
  activateWindow();
}

void MainDialog::closeEvent(QCloseEvent* event) {
  // The window goes only when the program destroys it; the close box is the
  // Exit button, and like it does nothing while a run disables Exit.
  event->ignore();
  if (QWidget* exit = controls_.Find(kIdCancel); exit && exit->isEnabled()) Command(kIdCancel);
}
