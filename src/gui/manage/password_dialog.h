// PasswordDialog ("Enter Device Password"): asks the ID and the password of one device. Both start
// empty every time; the password is masked.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace tarn {

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    // deviceTitle: "[ name ]", or empty when no device is named.
    explicit PasswordDialog(const QString& deviceTitle, QWidget* parent = nullptr);

    QLineEdit* idEdit() const { return id_; }
    QLineEdit* passwordEdit() const { return password_; }
    QString deviceTitle() const;

private:
    QLabel* title_;
    QLineEdit* id_;
    QLineEdit* password_;
};

}  // namespace tarn
