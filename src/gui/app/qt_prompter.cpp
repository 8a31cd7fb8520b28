#include "gui/app/qt_prompter.h"

#include <QLineEdit>
#include <QMessageBox>

#include "gui/manage/confirm_dlg.h"
#include "gui/manage/password_dialog.h"
#include "link/common/qt_bytes.h"

namespace tarn {

namespace {

QMessageBox::Icon toQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtPrompter::showMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    QMessageBox box(toQt(icon), latin1(caption), latin1(text), QMessageBox::Ok, owner_);
    box.exec();
}

bool QtPrompter::askYesNo(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, latin1(caption), latin1(text), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool QtPrompter::confirm(const ConfirmText& text) {
    CConfirmDlg dialog(text, owner_);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<Credentials> QtPrompter::askCredentials(const std::string& deviceTitle) {
    PasswordDialog dialog(latin1(deviceTitle), owner_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return Credentials{dialog.idEdit()->text().toLatin1().toStdString(),
                       dialog.passwordEdit()->text().toLatin1().toStdString()};
}

}  // namespace tarn
