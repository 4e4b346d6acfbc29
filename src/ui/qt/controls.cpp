#include "ui/controls.h"

#include "ui/qt/edit_text.h"
#include "ui/qt/picture.h"
#include "ui/qt/widget.h"
#include "ui/qt/window_font.h"

#include <QFontMetrics>
#include <QPainter>
#include <limits>

namespace {

// The etched group box; see TGroupBox.
class GroupBoxWidget : public QGroupBox {
public:
    GroupBoxWidget(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kCaptionIndent = 8;
};

void GroupBoxWidget::paintEvent(QPaintEvent*) {
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

// A line edit that keeps the bytes behind its text.
class EditWidget : public QLineEdit {
public:
    explicit EditWidget(QWidget* parent) : QLineEdit(parent) {
        setMaxLength(std::numeric_limits<int>::max());
        // Every change is one edit, so the bytes the user did not touch stay as they were.
        connect(this, &QLineEdit::textChanged, this,
                [this](const QString& shown) { m_text.Edit(shown); });
    }
    void SetBytes(const std::string& bytes) { setText(m_text.Load(bytes)); }
    const std::string& Bytes() const { return m_text.Bytes(); }

private:
    ui::ByteText m_text;
};

// A control shows with its window, also one added to a window already on the screen.
template <class Widget> Widget* Made(Widget* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    widget->show();
    return widget;
}

QString FromBytes(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

namespace ui {

void NativeDeleter::operator()(Native* native) const {
    delete native->widget.data();
    delete native;
}

namespace qt {

QWidget* Widget(const TControl* control) {
    return control->NativeObject().widget.data();
}
QWidget* Widget(const TForm* form) {
    return Widget(static_cast<const TControl*>(form));
}
QPushButton* Widget(const TButton* button) {
    return static_cast<QPushButton*>(Widget(static_cast<const TControl*>(button)));
}
QCheckBox* Widget(const TCheckBox* box) {
    return static_cast<QCheckBox*>(Widget(static_cast<const TControl*>(box)));
}
QLabel* Widget(const TLabel* label) {
    return static_cast<QLabel*>(Widget(static_cast<const TControl*>(label)));
}
QGroupBox* Widget(const TGroupBox* box) {
    return static_cast<QGroupBox*>(Widget(static_cast<const TControl*>(box)));
}
QLabel* Widget(const TImage* image) {
    return static_cast<QLabel*>(Widget(static_cast<const TControl*>(image)));
}
QProgressBar* Widget(const TProgressBar* bar) {
    return static_cast<QProgressBar*>(Widget(static_cast<const TControl*>(bar)));
}
QLineEdit* Widget(const TEdit* edit) {
    return static_cast<QLineEdit*>(Widget(static_cast<const TControl*>(edit)));
}

} // namespace qt

} // namespace ui

using ui::qt::Widget;

int TControl::Left() const {
    return Widget(this)->x();
}
int TControl::Top() const {
    return Widget(this)->y();
}
int TControl::Width() const {
    return Widget(this)->width();
}
int TControl::Height() const {
    return Widget(this)->height();
}
void TControl::SetBounds(int left, int top, int width, int height) {
    Widget(this)->setGeometry(left, top, width, height);
}

bool TControl::Enabled() const {
    return Widget(this)->isEnabled();
}
void TControl::SetEnabled(bool enabled) {
    Widget(this)->setEnabled(enabled);
}
bool TControl::Visible() const {
    return Widget(this)->isVisible();
}

void TControl::SetFont(const TFont& font) {
    QFont qtFont(ui::InstalledFamily(QString::fromStdString(font.name)));
    qtFont.setPixelSize(font.pixelHeight);
    qtFont.setBold(font.bold);
    Widget(this)->setFont(qtFont);
}

void TControl::SetTextColor(TColor color) {
    QWidget* widget = Widget(this);
    QPalette palette = widget->palette();
    const QColor qtColor(color.red, color.green, color.blue);
    // A label draws its text in the one, a button in the other.
    palette.setColor(QPalette::WindowText, qtColor);
    palette.setColor(QPalette::ButtonText, qtColor);
    widget->setPalette(palette);
}

void TControl::SetCursor(TCursor cursor) {
    Widget(this)->setCursor(cursor == TCursor::HourGlass ? Qt::WaitCursor : Qt::ArrowCursor);
}

TButton::TButton(TControl* parent, const std::string& caption, int left, int top, int width,
                 int height)
    : TControl(parent) {
    auto* button =
        Made(new QPushButton(FromBytes(caption), Widget(parent)), left, top, width, height);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, button, [this] { Clicked(); });
    Attach(new ui::Native{button});
}

std::string TButton::Caption() const {
    return Widget(this)->text().toStdString();
}

void TButton::Click() {
    Widget(this)->click();
}

TCheckBox::TCheckBox(TControl* parent, const std::string& caption, int left, int top, int width,
                     int height)
    : TControl(parent) {
    auto* box = Made(new QCheckBox(FromBytes(caption), Widget(parent)), left, top, width, height);
    // clicked comes only from the user (mouse, space, mnemonic); SetChecked calls the handler.
    QObject::connect(box, &QCheckBox::clicked, box, [this] { Clicked(); });
    Attach(new ui::Native{box});
}

std::string TCheckBox::Caption() const {
    return Widget(this)->text().toStdString();
}

bool TCheckBox::Checked() const {
    return Widget(this)->isChecked();
}

void TCheckBox::ShowChecked(bool checked) {
    Widget(this)->setChecked(checked);
}

void TCheckBox::Click() {
    Widget(this)->click();
}

TLabel::TLabel(TControl* parent, const std::string& caption, int left, int top, int width,
               int height, bool wordWrap)
    : TControl(parent) {
    auto* label = Made(new QLabel(FromBytes(caption), Widget(parent)), left, top, width, height);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wordWrap);
    label->setFocusPolicy(Qt::NoFocus);
    Attach(new ui::Native{label});
}

std::string TLabel::Caption() const {
    return Widget(this)->text().toStdString();
}

void TLabel::SetAlignment(TAlignment alignment) {
    Widget(this)->setAlignment(
        (alignment == TAlignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
}

void TLabel::SizeToText() {
    Widget(this)->adjustSize();
}

void TLabel::WidenToText() {
    QLabel* label = Widget(this);
    label->resize(label->sizeHint().width(), label->height());
}

TGroupBox::TGroupBox(TControl* parent, const std::string& caption, int left, int top, int width,
                     int height)
    : TControl(parent) {
    auto* box =
        Made(new GroupBoxWidget(FromBytes(caption), Widget(parent)), left, top, width, height);
    box->setFocusPolicy(Qt::NoFocus);
    Attach(new ui::Native{box});
}

std::string TGroupBox::Caption() const {
    return Widget(this)->title().toStdString();
}

TImage::TImage(TControl* parent, int left, int top, int width, int height) : TControl(parent) {
    auto* image = Made(new QLabel(Widget(parent)), left, top, width, height);
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setFocusPolicy(Qt::NoFocus);
    Attach(new ui::Native{image});
}

void TImage::SetPicture(const TPicture& picture) {
    Widget(this)->setPixmap(ui::qt::ToQPixmap(picture));
}

TProgressBar::TProgressBar(TControl* parent, int left, int top, int width, int height)
    : TControl(parent) {
    auto* bar = Made(new QProgressBar(Widget(parent)), left, top, width, height);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    Attach(new ui::Native{bar});
}

int TProgressBar::Min() const {
    return Widget(this)->minimum();
}
int TProgressBar::Max() const {
    return Widget(this)->maximum();
}
int TProgressBar::Position() const {
    return Widget(this)->value();
}
void TProgressBar::SetNativeRange(int min, int max) {
    Widget(this)->setRange(min, max);
}
void TProgressBar::SetPosition(int position) {
    Widget(this)->setValue(position);
}

TEdit::TEdit(TControl* parent, const std::string& text, int left, int top, int width, int height)
    : TControl(parent) {
    auto* edit = Made(new EditWidget(Widget(parent)), left, top, width, height);
    Attach(new ui::Native{edit});
    SetText(text);
}

void TEdit::SetText(const std::string& text) {
    static_cast<EditWidget*>(Widget(this))->SetBytes(text);
}

std::string TEdit::Text() const {
    return static_cast<const EditWidget*>(Widget(this))->Bytes();
}

int TEdit::SelStart() const {
    return Widget(this)->cursorPosition();
}

void TEdit::SetSelStart(int position) {
    Widget(this)->setCursorPosition(position);
}
