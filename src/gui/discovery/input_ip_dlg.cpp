#include "gui/discovery/input_ip_dlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarn {

CInputIPDlg::CInputIPDlg(const std::array<std::uint8_t, 4>& address, QWidget* parent)
    : QDialog(parent), edit_(new IpAddressEdit(this)) {
    setWindowTitle(QStringLiteral("Input IP"));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("IP:"), this));
    row->addWidget(edit_, 1);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(line);
    layout->addWidget(buttons);
    edit_->setAddress(address);
    edit_->setFocus();
}

}  // namespace tarn
