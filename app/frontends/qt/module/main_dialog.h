// The main window of templates 110 (make) and 109 (extract): its controls,
// their texts and enabled states. It decides nothing: every button, and the
// close box, goes to the program as a command.
#pragma once

#include <QTimer>
#include <QWidget>
#include <map>

#include "app/frontends/qt/module/dialog_template.h"
#include "app/frontends/qt/window_module.h"

class QFrame;
class QProgressBar;

class MainDialog : public QWidget {
 public:
  MainDialog(const KvWindowHost& host, const KvWindowTexts& texts, const QString& caption,
             const QString& sourceLabel, const QString& destinationLabel);

  void SetText(int id, const QString& text);
  QString Text(int id) const;
  void Enable(int id, bool enabled);
  void SetProgress(int position);
  void ShowCentred();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Command(int id) { host_.command(host_.context, id); }
  void QueueStatusUpdate();
  void ApplyStatus();

  const KvWindowHost& host_;
  DialogUnits units_;
  QFrame* edge_;
  QWidget* client_;
  TemplateControls controls_;
  QProgressBar* bar_ = nullptr;
  std::map<int, QString> pendingTexts_;
  int pendingBar_ = -1;
  QTimer statusTimer_;
};
