// The modal prompts: the overwrite prompt (template 108) and the retry
// prompt (template 111). Each returns the identifier of the button pressed;
// Escape and the close box count as button 2, Enter presses button 1.
#pragma once

#include <QString>

#include "app/frontends/qt/window_module.h"

class QWidget;

int RunOverwritePrompt(QWidget* owner, const KvWindowTexts& texts, const QString& path);
int RunRetryPrompt(QWidget* owner, const KvWindowTexts& texts, const QString& path,
                   const QString& reason);
