#include "app/frontends/qt/module/dialog_template.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

DialogUnits::DialogUnits(const QFont& font) {
  QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (letters / 26 + 1) / 2;
  baseY_ = metrics.height();
}

void TemplateControls::Place(int id, QWidget* widget, QRect units) {
  widget->setParent(client_);
  widget->setGeometry(units_.Rect(units.x(), units.y(), units.width(), units.height()));
  if (id != 0) {
    widget->setObjectName(QString::number(id));
    byId_[id] = widget;
  }
}

QLabel* TemplateControls::Static(int id, const QString& text, QRect units, TextAlign align,
                                 bool sunken, bool wrap) {
  auto* label = new QLabel(text);
  // Paths and messages are shown as they are, never as markup.
  label->setTextFormat(Qt::PlainText);
  Qt::Alignment horizontal = align == TextAlign::kCentre  ? Qt::AlignHCenter
                             : align == TextAlign::kRight ? Qt::AlignRight
                                                          : Qt::AlignLeft;
  label->setAlignment(horizontal | Qt::AlignTop);
  // Flush with the edge, as the dialog manager draws it: a framed QLabel
  // otherwise moves its text half an 'x' in from the aligned sides, which
  // pushes the descenders of a line out of a template's 10-unit control.
  label->setIndent(0);
  label->setWordWrap(wrap);
  if (sunken) {
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
  }
  return Add(id, label, units);
}

QPushButton* TemplateControls::Button(int id, const QString& text, QRect units) {
  auto* button = new QPushButton(text);
  // Buttons of a template never become the default by taking the focus.
  button->setAutoDefault(false);
  return Add(id, button, units);
}
