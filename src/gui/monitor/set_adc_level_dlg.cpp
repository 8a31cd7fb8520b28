#include "gui/monitor/set_adc_level_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "link/common/qt_bytes.h"

namespace tarn {

CSetADCLevelDlg::CSetADCLevelDlg(IoRequester& io, Prompter& prompter, QWidget* parent)
    : PortDialog(QStringLiteral("Setting ADC port "), true, prompter, parent), chain_(io, prompter_) {
    attach(chain_);
    auto* layout = new QVBoxLayout(this);
    addPortRow(layout, QStringLiteral("Port No. :"));

    auto* referenceRow = new QHBoxLayout;
    reference_ = new QComboBox(this);
    for (std::string_view item : kAdcReferenceItems) reference_->addItem(latin1(item));
    referenceRow->addWidget(new QLabel(QStringLiteral("Reference:"), this));
    referenceRow->addWidget(reference_, 1);
    layout->addLayout(referenceRow);

    auto* modeGroup = new QGroupBox(QStringLiteral("ADC Port Level/Switch"), this);
    auto* modeRow = new QHBoxLayout(modeGroup);
    level_ = new QRadioButton(QStringLiteral("Level"), modeGroup);
    switch_ = new QRadioButton(QStringLiteral("Switch"), modeGroup);
    auto* modes = new QButtonGroup(this);
    modes->addButton(level_);
    modes->addButton(switch_);
    modeRow->addWidget(level_);
    modeRow->addWidget(switch_);
    modeRow->addStretch();
    layout->addWidget(modeGroup);

    auto* levelGroup = new QGroupBox(QStringLiteral("Input ADC port level (Limit : 0~1023)"), this);
    auto* levelRow = new QHBoxLayout(levelGroup);
    levelEdit_ = new QLineEdit(levelGroup);
    levelEdit_->setMaxLength(static_cast<int>(kAdcLevelLength));
    levelEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), levelEdit_));
    levelEdit_->setFixedWidth(70);
    levelRow->addWidget(new QLabel(QStringLiteral("Level:"), levelGroup));
    levelRow->addWidget(levelEdit_);
    levelRow->addStretch();
    layout->addWidget(levelGroup);
    addFoot(layout);

    AdcPortForm& f = chain_.form();
    connect(reference_, &QComboBox::activated, this, [&f](int index) { f.referenceIndex = index; });
    connect(switch_, &QRadioButton::toggled, this, [this, &f](bool on) {
        f.modeChoice = on ? 1 : 0;
        showForm();
    });
    connect(levelEdit_, &QLineEdit::textEdited, this,
            [&f](const QString& text) { f.level = text.toLatin1().toStdString(); });
    showForm();
}

void CSetADCLevelDlg::showForm() {
    const AdcPortForm& f = chain_.form();
    const QSignalBlocker a(level_);
    const QSignalBlocker b(switch_);
    reference_->setCurrentIndex(f.referenceIndex);
    (f.modeChoice == 0 ? level_ : switch_)->setChecked(true);
    const QString level = latin1(f.level);
    if (levelEdit_->text() != level) levelEdit_->setText(level);
    levelEdit_->setEnabled(f.modeChoice != 0);
    settingButton()->setEnabled(chain_.settingOffered());
}

}  // namespace tarn
