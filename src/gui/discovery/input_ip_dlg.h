// CInputIPDlg: asks for the addresses that Quick Connect probes: one address, or a list of
// addresses, ranges and blocks (address_list.h). The box offers the address book, the lists used
// before, the last one first. Ok keeps the dialog open while the text cannot be read, and says why.
#pragma once

#include <QDialog>
#include <QStringList>

#include "core/discovery/address_list.h"

class QComboBox;
class QLabel;

namespace tarn {

class CInputIPDlg : public QDialog {
    Q_OBJECT
public:
    // The first time there is no book: the dialog offers 192.168.100.1.
    explicit CInputIPDlg(const QStringList& addressBook, QWidget* parent = nullptr);

    QComboBox* box() const { return box_; }
    QLabel* problem() const { return problem_; }
    // The text typed, as accepted (blanks at the ends trimmed).
    QString text() const;
    // What the accepted text reads as.
    const AddressList& addresses() const { return addresses_; }

    void accept() override;

private:
    QComboBox* box_;
    QLabel* problem_;
    AddressList addresses_;
};

// The book after a list was used: that list first, each list once, at most kAddressBookSize.
constexpr int kAddressBookSize = 20;
QStringList rememberInAddressBook(QStringList book, const QString& used);

}  // namespace tarn
