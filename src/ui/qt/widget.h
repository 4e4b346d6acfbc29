// The Qt widgets behind the program's windows and controls. Only the Qt backend and the tests
// that reach Qt itself (mouse and key events, painting, geometry) use them.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace ui {

struct Native {
    QPointer<QWidget> widget;
};

namespace qt {

QWidget* Widget(const TControl* control);
QWidget* Widget(const TForm* form);
QPushButton* Widget(const TButton* button);
QCheckBox* Widget(const TCheckBox* box);
QLabel* Widget(const TLabel* label);
QGroupBox* Widget(const TGroupBox* box);
QLabel* Widget(const TImage* image);
QProgressBar* Widget(const TProgressBar* bar);
QLineEdit* Widget(const TEdit* edit);

} // namespace qt

} // namespace ui
