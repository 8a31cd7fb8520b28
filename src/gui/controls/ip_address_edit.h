// An IPv4 address control: four fields of 0..255 separated by dots; an empty field reads as 0.
#pragma once

#include <array>
#include <cstdint>

#include <QWidget>

class QLineEdit;

namespace tarn {

class IpAddressEdit : public QWidget {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    void setAddress(const std::array<std::uint8_t, 4>& bytes);
    std::array<std::uint8_t, 4> address() const;
    QLineEdit* field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void enterField(int index);
    int indexOf(QObject* object) const;

    std::array<QLineEdit*, 4> fields_{};
    // The field just entered because the one before it filled up, until the next key: a dot typed
    // then is swallowed, so "127.100.5.9" typed digit by digit gives that address.
    int jumpedTo_ = -1;
};

}  // namespace tarn
