#include "gui/common/password_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/discovery/management_message.h"
#include "link/common/qt_bytes.h"

namespace tarn {

PasswordDialog::PasswordDialog(const CredentialsQuestion& question, QWidget* parent)
    : QDialog(parent),
      heading_(new QLabel(question.refused ? QStringLiteral("Incorrect password or unknown ID for the device :")
                                           : QStringLiteral("Enter the ID and password of the device :"),
                          this)),
      title_(new QLabel(latin1(question.deviceTitle), this)),
      id_(new QLineEdit(this)),
      password_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Enter Device Password"));
    // A request carries each of them behind one length byte.
    id_->setMaxLength(kMaxCredentialLength);
    password_->setMaxLength(kMaxCredentialLength);
    password_->setEchoMode(QLineEdit::Password);
    id_->setMinimumWidth(id_->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16);
    title_->setTextFormat(Qt::PlainText);

    auto* grid = new QGridLayout;
    grid->addWidget(heading_, 0, 0, 1, 2);
    grid->addWidget(title_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Connect As:"), this), 2, 0);
    grid->addWidget(id_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Password:"), this), 3, 0);
    grid->addWidget(password_, 3, 1);
    if (question.otherUnknownDevices > 0) {
        forEveryUnknown_ = new QCheckBox(QStringLiteral("Use for every selected device the log does not know"), this);
        grid->addWidget(forEveryUnknown_, 4, 0, 1, 2);
    }

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    id_->setFocus();
}

QString PasswordDialog::deviceTitle() const { return title_->text(); }

QString PasswordDialog::heading() const { return heading_->text(); }

CredentialsAnswer PasswordDialog::answer() const {
    // A character beyond Latin-1 stays recognisable (never a "?"), so that it is refused, not sent.
    return {{latin1Bytes(id_->text()), latin1Bytes(password_->text())},
            forEveryUnknown_ && forEveryUnknown_->isChecked()};
}

}  // namespace tarn
