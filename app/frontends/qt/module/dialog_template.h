// Windows built from dialog templates: positions in dialog units, turned
// into pixels with the metrics of the window's font the way the Windows
// dialog manager does it, so the layout keeps its proportions with any
// font and resolution.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <map>

class QLabel;
class QPushButton;

// Base units of a font: the average width of the 52 Latin letters, rounded,
// and the character height (ascent plus descent).
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int X(int units) const { return MulDiv(units, baseX_, 4); }
  int Y(int units) const { return MulDiv(units, baseY_, 8); }
  // Each of the four numbers is converted on its own, as the dialog manager
  // does for its controls.
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
  }

 private:
  static int MulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }
  int baseX_;
  int baseY_;
};

// Alignment of a static text control.
enum class TextAlign { kLeft, kCentre, kRight };

// The controls of one window, created from template entries and kept by
// their identifiers (controls without one are not kept).
class TemplateControls {
 public:
  TemplateControls(QWidget* client, const DialogUnits& units) : client_(client), units_(units) {}

  QLabel* Static(int id, const QString& text, QRect units, TextAlign align, bool sunken, bool wrap);
  QPushButton* Button(int id, const QString& text, QRect units);
  // Any other widget, placed and named after its identifier.
  template <typename W>
  W* Add(int id, W* widget, QRect units) {
    Place(id, widget, units);
    return widget;
  }

  QWidget* Find(int id) const {
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
  }

 private:
  void Place(int id, QWidget* widget, QRect units);
  QWidget* client_;
  const DialogUnits& units_;
  std::map<int, QWidget*> byId_;
};
