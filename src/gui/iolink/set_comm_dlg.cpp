#include "gui/iolink/set_comm_dlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "gui/controls/dialog_buttons.h"

namespace tarn {

CSetCommDlg::CSetCommDlg(QWidget* parent)
    : QDialog(parent),
      port_(new QComboBox(this)),
      baud_(new QComboBox(this)),
      parity_(new QComboBox(this)),
      dataBits_(new QComboBox(this)),
      stopBits_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Setting Serial Properties"));
    for (int i = 1; i <= kSerialPortCount; ++i) port_->addItem(QString::number(i));
    for (std::uint32_t rate : kBaudRates) baud_->addItem(QString::number(rate));
    parity_->addItems({QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd")});
    dataBits_->addItems({QStringLiteral("7"), QStringLiteral("8")});
    stopBits_->addItems({QStringLiteral("1"), QStringLiteral("2")});
    for (QComboBox* fixed : {baud_, parity_, dataBits_, stopBits_}) fixed->setEnabled(false);

    auto* group = new QGroupBox(QStringLiteral("Properties"), this);
    auto* form = new QFormLayout(group);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(QStringLiteral("Port :"), port_);
    form->addRow(QStringLiteral("Baudrate:"), baud_);
    form->addRow(QStringLiteral("Parity:"), parity_);
    form->addRow(QStringLiteral("Data Bit:"), dataBits_);
    form->addRow(QStringLiteral("Stop Bit:"), stopBits_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    addOkCancelFoot(this, layout);
    fitCaption(this);
    PreloadSettings(settings_);
    port_->setFocus();
}

void CSetCommDlg::PreloadSettings(const SerialSettings& settings) {
    settings_ = settings;
    const SerialChoice c = choiceFromSettings(settings);
    port_->setCurrentIndex(c.portIndex);
    baud_->setCurrentIndex(c.baudIndex);
    parity_->setCurrentIndex(c.parityIndex);
    dataBits_->setCurrentIndex(c.dataBitsIndex);
    stopBits_->setCurrentIndex(c.stopBitsIndex);
}

void CSetCommDlg::accept() {
    settings_ = settingsFromChoice({port_->currentIndex(), baud_->currentIndex(), parity_->currentIndex(),
                                    dataBits_->currentIndex(), stopBits_->currentIndex()});
    QDialog::accept();
}

}  // namespace tarn
