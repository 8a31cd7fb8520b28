#include "gui/discovery/input_ip_dlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/controls/dialog_buttons.h"

namespace tarn {

CInputIPDlg::CInputIPDlg(const QStringList& addressBook, QWidget* parent)
    : QDialog(parent), box_(new QComboBox(this)), problem_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Input IP"));
    box_->setEditable(true);
    box_->setInsertPolicy(QComboBox::NoInsert);
    box_->addItems(addressBook.isEmpty() ? QStringList{QStringLiteral("192.168.100.1")} : addressBook);
    box_->setCurrentIndex(0);
    box_->setMinimumContentsLength(28);
    box_->setToolTip(
        QStringLiteral("Addresses, ranges such as 10.1.2.10-10.1.2.50 and blocks such as 10.1.2.0/24,\n"
                       "separated by commas. Each address is probed directly."));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("IP:"), this));
    row->addWidget(box_, 1);
    auto* hint = new QLabel(QStringLiteral("One address, or a list: 10.1.2.7, 10.1.2.10-10.1.2.50, 10.1.3.0/24"), this);
    hint->setEnabled(false);  // drawn as a quiet hint
    problem_->setStyleSheet(QStringLiteral("color: #b00020;"));
    problem_->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(hint);
    layout->addWidget(problem_);
    addOkCancelFoot(this, layout);
    fitCaption(this);
    box_->lineEdit()->selectAll();
    box_->setFocus();
}

QString CInputIPDlg::text() const { return box_->currentText().trimmed(); }

void CInputIPDlg::accept() {
    addresses_ = parseAddressList(text().toLatin1().toStdString());
    if (!addresses_.ok()) {
        problem_->setText(QString::fromStdString(addresses_.error));
        problem_->show();
        box_->setFocus();
        return;
    }
    QDialog::accept();
}

QStringList rememberInAddressBook(QStringList book, const QString& used) {
    book.removeAll(used);
    book.prepend(used);
    while (book.size() > kAddressBookSize) book.removeLast();
    return book;
}

}  // namespace tarn
