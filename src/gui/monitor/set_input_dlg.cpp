#include "gui/monitor/set_input_dlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tarn {

CSetInputDlg::CSetInputDlg(IoRequester& io, Prompter& prompter, QWidget* parent)
    : PortDialog(QStringLiteral("Setting Input port"), true, prompter, parent), chain_(io, prompter_) {
    attach(chain_);
    auto* layout = new QVBoxLayout(this);
    addPortRow(layout, QStringLiteral("Port No.:"));
    auto* group = new QGroupBox(QStringLiteral("Input Port Enable/Disable"), this);
    auto* row = new QHBoxLayout(group);
    enable_ = new QRadioButton(QStringLiteral("Enable"), group);
    disable_ = new QRadioButton(QStringLiteral("Disable"), group);
    auto* buttons = new QButtonGroup(this);
    buttons->addButton(enable_);
    buttons->addButton(disable_);
    row->addWidget(enable_);
    row->addWidget(disable_);
    row->addStretch();
    layout->addWidget(group);
    addFoot(layout);
    connect(enable_, &QRadioButton::toggled, this, [this](bool on) { chain_.form().enableChoice = on ? 0 : 1; });
    showForm();
}

void CSetInputDlg::showForm() {
    const QSignalBlocker a(enable_);
    const QSignalBlocker b(disable_);
    (chain_.form().enableChoice == 0 ? enable_ : disable_)->setChecked(true);
    settingButton()->setEnabled(chain_.settingOffered());
}

}  // namespace tarn
