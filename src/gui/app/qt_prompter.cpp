#include "gui/app/qt_prompter.h"

#include <QEvent>
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

// A report outlives the dialog that gave it: when that dialog closes while the report is still up (a
// monitor that could not connect, a dialog ended by a lost link), the box moves to the window below.
class ReportKeeper : public QObject {
public:
    ReportKeeper(QMessageBox* box, QWidget* owner) : QObject(box), box_(box) { owner->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && box_->isVisible()) {
            auto* owner = static_cast<QWidget*>(watched);
            owner->removeEventFilter(this);
            QWidget* below = owner->parentWidget() ? owner->parentWidget()->window() : nullptr;
            box_->setParent(below, box_->windowFlags());
            box_->open();
        }
        return false;
    }

private:
    QMessageBox* box_;
};

QMessageBox* report(QWidget* owner, MessageIcon icon, const std::string& caption, const std::string& text) {
    auto* box = new QMessageBox(toQt(icon), latin1(caption), latin1(text), QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (owner) new ReportKeeper(box, owner->window());
    return box;
}

}  // namespace

void QtPrompter::showMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    report(owner_, icon, caption, text)->open();
}

void QtPrompter::showNotice(const std::string& caption, const std::string& text, MessageIcon icon,
                            std::function<void()> closed) {
    QMessageBox* box = report(owner_, icon, caption, text);
    QObject::connect(box, &QMessageBox::finished, box, [closed] { closed(); });
    box->open();
}

void QtPrompter::askYesNo(const std::string& caption, const std::string& text, Answer<bool> answer) {
    auto* box = new QMessageBox(QMessageBox::Question, latin1(caption), latin1(text),
                                QMessageBox::Yes | QMessageBox::No, owner_);
    box->setDefaultButton(QMessageBox::Yes);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [answer](int result) { answer(result == QMessageBox::Yes); });
    box->open();
}

void QtPrompter::confirm(const ConfirmText& text, Answer<bool> answer) {
    auto* dialog = new CConfirmDlg(text, owner_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [answer](int result) { answer(result == QDialog::Accepted); });
    dialog->open();
}

void QtPrompter::askCredentials(const CredentialsQuestion& question, Answer<std::optional<CredentialsAnswer>> answer) {
    auto* dialog = new PasswordDialog(question, owner_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer](int result) {
        answer(result == QDialog::Accepted ? std::optional<CredentialsAnswer>(dialog->answer()) : std::nullopt);
    });
    dialog->open();
}

}  // namespace tarn
