#include "gui/monitor/tarn_confirm_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/common/qt_bytes.h"

namespace tarn {

CTARNConfirmDlg::CTARNConfirmDlg(IoRequester& io, Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      chain_(io, prompter_),
      serial_(new QLineEdit(this)),
      firmware_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Confriming Serial/Firmware Version"));
    for (QLineEdit* e : {serial_, firmware_}) {
        e->setReadOnly(true);
        e->setMinimumWidth(220);
    }
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Serial Number:"), serial_);
    form->addRow(QStringLiteral("Firmware Version:"), firmware_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    chain_.formChanged = [this] {
        serial_->setText(latin1(chain_.serialNumber()));
        firmware_->setText(latin1(chain_.firmwareVersion()));
    };
}

void CTARNConfirmDlg::run() {
    open();  // first, so that what the read tells stands over the dialog
    chain_.open();
}

void CTARNConfirmDlg::done(int result) {
    chain_.close();
    QDialog::done(result);
}

}  // namespace tarn
