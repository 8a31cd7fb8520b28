#include "gui/common/qt_prompter.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QVariant>

#include "gui/common/confirm_dlg.h"
#include "gui/common/password_dialog.h"
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

// Marks what this prompter opens, so that a later box goes over the dialog below it, not over it.
constexpr const char* kPrompterBox = "tarnPrompterBox";

template <class W>
W* marked(W* widget) {
    widget->setProperty(kPrompterBox, true);
    widget->setAttribute(Qt::WA_DeleteOnClose);
    return widget;
}

bool within(const QWidget* widget, const QWidget* ancestor) {
    for (; widget; widget = widget->parentWidget())
        if (widget == ancestor) return true;
    return false;
}

QMessageBox* report(QWidget* owner, MessageIcon icon, const std::string& caption, const std::string& text) {
    auto* box = marked(new QMessageBox(toQt(icon), latin1(caption), latin1(text), QMessageBox::Ok, owner));
    if (owner) new ReportKeeper(box, owner->window());
    return box;
}

}  // namespace

QWidget* QtPrompter::boxParent() const {
    QWidget* top = QApplication::activeModalWidget();
    while (top && top->property(kPrompterBox).toBool())
        top = top->parentWidget() ? top->parentWidget()->window() : nullptr;
    if (top && (!owner_ || within(top, owner_->window()))) return top;
    return owner_;
}

void QtPrompter::showMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    report(boxParent(), icon, caption, text)->open();
}

void QtPrompter::showNotice(const std::string& caption, const std::string& text, MessageIcon icon,
                            std::function<void()> closed) {
    QMessageBox* box = report(boxParent(), icon, caption, text);
    QObject::connect(box, &QMessageBox::finished, box, [closed] { closed(); });
    box->open();
}

void QtPrompter::askYesNo(const std::string& caption, const std::string& text, Answer<bool> answer) {
    auto* box = marked(new QMessageBox(QMessageBox::Question, latin1(caption), latin1(text),
                                       QMessageBox::Yes | QMessageBox::No, boxParent()));
    box->setDefaultButton(QMessageBox::Yes);
    QObject::connect(box, &QMessageBox::finished, box, [answer](int result) { answer(result == QMessageBox::Yes); });
    box->open();
}

void QtPrompter::confirm(const ConfirmText& text, Answer<bool> answer) {
    auto* dialog = marked(new CConfirmDlg(text, boxParent()));
    QObject::connect(dialog, &QDialog::finished, dialog, [answer](int result) { answer(result == QDialog::Accepted); });
    dialog->open();
}

void QtPrompter::askCredentials(const CredentialsQuestion& question, Answer<std::optional<CredentialsAnswer>> answer) {
    auto* dialog = marked(new PasswordDialog(question, boxParent()));
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer](int result) {
        answer(result == QDialog::Accepted ? std::optional<CredentialsAnswer>(dialog->answer()) : std::nullopt);
    });
    dialog->open();
}

}  // namespace tarn
