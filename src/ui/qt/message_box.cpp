#include "ui/message_box.h"

#include "ui/application.h"
#include "ui/qt/handle.h"
#include "ui/qt/picture.h"
#include "ui/qt/window_font.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QWidget>

namespace {

constexpr UINT kIconMask = 0xF0;
constexpr UINT kIconQuestion = 0x20;
constexpr UINT kIconWarning = 0x30;

QMessageBox::Icon IconOf(UINT type) {
    switch (type & kIconMask) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case kIconQuestion:
        return QMessageBox::Question;
    case kIconWarning:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int ShowRealMessageBox(const ui::MessageBoxCall& call) {
    QWidget* owner = ui::FromHandle(call.owner);
    // The application window is never shown, so a box it owns is placed on its own and made
    // application-modal instead of being parented to it.
    const bool ownedByApplication = call.owner != nullptr && call.owner == Application.Handle();
    QMessageBox box(IconOf(call.type), QString::fromStdString(call.caption),
                    QString::fromStdString(call.text), QMessageBox::Ok,
                    ownedByApplication ? nullptr : owner);
    box.setTextFormat(Qt::PlainText);
    // The windows' own font rather than the desktop's larger one.
    box.setFont(ui::WindowFont());
    box.setWindowIcon(ui::qt::ToQIcon(Application.Icon()));
    if (ownedByApplication) {
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    } else if (owner) {
        box.setWindowModality(Qt::WindowModal);
        box.exec();
    } else {
        // QDialog::exec would make the box application-modal; wait in a loop of our own so
        // the other windows stay usable.
        box.setWindowModality(Qt::NonModal);
        QEventLoop wait;
        QObject::connect(&box, &QMessageBox::finished, &wait, &QEventLoop::quit);
        box.show();
        wait.exec();
    }
    return IDOK;
}

} // namespace

namespace ui {

Seam<MessageBoxCall, int>& MessageBoxSeam() {
    static Seam<MessageBoxCall, int> seam(ShowRealMessageBox);
    return seam;
}

} // namespace ui
