// CInputIPDlg: asks for the IPv4 address that Quick Connect probes.
#pragma once

#include <array>
#include <cstdint>

#include <QDialog>

#include "gui/controls/ip_address_edit.h"

namespace tarn {

class CInputIPDlg : public QDialog {
    Q_OBJECT
public:
    explicit CInputIPDlg(const std::array<std::uint8_t, 4>& address, QWidget* parent = nullptr);
    std::array<std::uint8_t, 4> address() const { return edit_->address(); }
    IpAddressEdit* edit() const { return edit_; }

private:
    IpAddressEdit* edit_;
};

}  // namespace tarn
