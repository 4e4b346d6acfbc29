#include "ui/controls.h"

#include "ui/guard.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <limits>

namespace ui {

void SetBounds(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(left, top, width, height);
}

} // namespace ui

TButton::TButton(QWidget* parent, const std::string& caption, int left, int top, int width,
                 int height)
    : QPushButton(QString::fromStdString(caption), parent) {
    ui::SetBounds(this, left, top, width, height);
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (m_onClick)
            ui::Guard(m_onClick);
    });
}

TCheckBox::TCheckBox(QWidget* parent, const std::string& caption, int left, int top, int width,
                     int height)
    : QCheckBox(QString::fromStdString(caption), parent) {
    ui::SetBounds(this, left, top, width, height);
    // clicked comes only from the user (mouse, space, mnemonic); SetChecked calls the handler.
    connect(this, &QCheckBox::clicked, this, [this] {
        if (m_onClick)
            ui::Guard(m_onClick);
    });
}

void TCheckBox::SetChecked(bool checked) {
    if (checked == isChecked())
        return;
    setChecked(checked);
    if (m_onClick)
        m_onClick();
}

TLabel::TLabel(QWidget* parent, const std::string& caption, int left, int top, int width,
               int height, bool wordWrap)
    : QLabel(QString::fromStdString(caption), parent) {
    ui::SetBounds(this, left, top, width, height);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(wordWrap);
    setFocusPolicy(Qt::NoFocus);
}

TGroupBox::TGroupBox(QWidget* parent, const std::string& caption, int left, int top, int width,
                     int height)
    : QGroupBox(QString::fromStdString(caption), parent) {
    ui::SetBounds(this, left, top, width, height);
    setFocusPolicy(Qt::NoFocus);
}

void TGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QString caption = title();
    // Without a caption the box is a rule; with one, the frame's top edge runs through the
    // middle of the caption, and the controls sit inside below it.
    const int line = caption.isEmpty() ? height() / 2 : metrics.height() / 2;
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    if (caption.isEmpty()) {
        painter.setPen(dark);
        painter.drawLine(0, line, width() - 1, line);
        painter.setPen(light);
        painter.drawLine(0, line + 1, width() - 1, line + 1);
        return;
    }
    const QRect frame(0, line, width() - 2, height() - line - 2);
    painter.setPen(light);
    painter.drawRect(frame.translated(1, 1));
    painter.setPen(dark);
    painter.drawRect(frame);
    const QRect text(kCaptionIndent, 0, metrics.horizontalAdvance(caption), metrics.height());
    painter.fillRect(text, palette().color(QPalette::Window));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, caption);
}

TImage::TImage(QWidget* parent, int left, int top, int width, int height) : QLabel(parent) {
    ui::SetBounds(this, left, top, width, height);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
}

void TImage::SetPicture(const QPixmap& picture) {
    setPixmap(picture);
}

TProgressBar::TProgressBar(QWidget* parent, int left, int top, int width, int height)
    : QProgressBar(parent) {
    ui::SetBounds(this, left, top, width, height);
    setTextVisible(false);
    setRange(0, 100);
    setValue(0);
}

void TProgressBar::SetRange(int min, int max) {
    const int position = std::clamp(value(), min, max);
    setRange(min, max);
    setValue(position);
}

void TProgressBar::StepIt() {
    const int min = minimum();
    const int max = maximum();
    int position = value() + m_step;
    if (position > max)
        position = max > min ? (position - min) % (max - min) + min : min;
    else if (position < min)
        position = max > min ? (position - min) % (max - min) + max : min;
    setValue(position);
}

TEdit::TEdit(QWidget* parent, const std::string& text, int left, int top, int width, int height)
    : QLineEdit(parent) {
    ui::SetBounds(this, left, top, width, height);
    setMaxLength(std::numeric_limits<int>::max());
    // Every change is one edit, so the bytes the user did not touch stay as they were.
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString& shown) { m_text.Edit(shown); });
    SetText(text);
}

void TEdit::SetText(const std::string& text) {
    setText(m_text.Load(text));
}

std::string TEdit::Text() const {
    return m_text.Bytes();
}
