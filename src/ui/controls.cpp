#include "ui/controls.h"

#include "ui/guard.h"

#include <algorithm>

void TButton::Clicked() {
    if (m_onClick)
        ui::Guard(m_onClick);
}

void TCheckBox::Clicked() {
    if (m_onClick)
        ui::Guard(m_onClick);
}

void TCheckBox::SetChecked(bool checked) {
    if (checked == Checked())
        return;
    ShowChecked(checked);
    if (m_onClick)
        m_onClick();
}

void TProgressBar::SetRange(int min, int max) {
    const int position = std::clamp(Position(), min, max);
    SetNativeRange(min, max);
    SetPosition(position);
}

void TProgressBar::StepIt() {
    const int min = Min();
    const int max = Max();
    int position = Position() + m_step;
    if (position > max)
        position = max > min ? (position - min) % (max - min) + min : min;
    else if (position < min)
        position = max > min ? (position - min) % (max - min) + max : min;
    SetPosition(position);
}
