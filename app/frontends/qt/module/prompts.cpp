#include "app/frontends/qt/module/prompts.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>

#include "app/dialogue/ids.h"
#include "app/frontends/qt/module/dialog_template.h"

namespace {

struct ButtonEntry {
  int id;
  const char* text;
  QRect units;
};

// A fixed-size modal dialog whose buttons end it with their identifier.
class Prompt : public QDialog {
 public:
  Prompt(QWidget* owner, const QString& caption, QSize sizeUnits)
      : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
        units_(QApplication::font()),
        controls_(this, units_) {
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(units_.X(sizeUnits.width()), units_.Y(sizeUnits.height()));
  }

  void Text(int id, const QString& text, QRect units) {
    controls_.Static(id, text, units, TextAlign::kCentre, false, true);
  }

  void Buttons(std::initializer_list<ButtonEntry> buttons) {
    for (const ButtonEntry& b : buttons) {
      QPushButton* button = controls_.Button(b.id, QString::fromUtf8(b.text), b.units);
      const int id = b.id;
      QObject::connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
      if (id == kIdOk) {
        button->setDefault(true);
        button->setFocus();
      }
    }
  }

  // Escape and the close box send identifier 2.
  void reject() override { done(kIdCancel); }

 private:
  DialogUnits units_;
  TemplateControls controls_;
};

// Modal for the whole program, so that the owner takes no click meanwhile.
int Ask(Prompt& prompt) {
  prompt.setWindowModality(Qt::ApplicationModal);
  return prompt.exec();
}

}  // namespace

int RunOverwritePrompt(QWidget* owner, const KvWindowTexts& texts, const QString& path) {
  Prompt p(owner, QString::fromUtf8(texts.prompt_caption), {255, 65});
  p.Text(kOverwriteFileName, path, {5, 8, 245, 10});
  p.Text(0, QString::fromUtf8(texts.overwrite_text), {5, 22, 245, 10});
  p.Buttons({{kButtonOverwrite, texts.overwrite, {8, 42, 54, 16}},
             {kButtonOverwriteAll, texts.overwrite_all, {69, 42, 54, 16}},
             {kButtonSkip, texts.skip, {130, 42, 54, 16}},
             {kButtonOverwriteAbort, texts.overwrite_abort, {191, 42, 54, 16}}});
  return Ask(p);
}

int RunRetryPrompt(QWidget* owner, const KvWindowTexts& texts, const QString& path,
                   const QString& reason) {
  Prompt p(owner, QString::fromUtf8(texts.prompt_caption), {255, 109});
  p.Text(kRetryFileName, path, {5, 6, 245, 10});
  p.Text(kRetryReason, reason, {5, 18, 245, 10});
  p.Text(0, QString::fromUtf8(texts.retry_text), {5, 34, 245, 44});
  p.Buttons({{kButtonRetry, texts.retry, {62, 86, 60, 16}},
             {kButtonRetryAbort, texts.retry_abort, {133, 86, 60, 16}}});
  return Ask(p);
}
