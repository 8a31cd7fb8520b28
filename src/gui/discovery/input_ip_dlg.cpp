#include "gui/discovery/input_ip_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/controls/dialog_buttons.h"

namespace tarn {

CInputIPDlg::CInputIPDlg(const std::array<std::uint8_t, 4>& address, QWidget* parent)
    : QDialog(parent), edit_(new IpAddressEdit(this)) {
    setWindowTitle(QStringLiteral("Input IP"));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("IP:"), this));
    row->addWidget(edit_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    addOkCancelFoot(this, layout);
    fitCaption(this);
    edit_->setAddress(address);
    edit_->setFocus();
}

}  // namespace tarn
