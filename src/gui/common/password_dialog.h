// PasswordDialog ("Enter Device Password"): asks the ID and the password of one device. Both start
// empty every time; the password is masked. It says the credentials were refused only when they
// were, and offers its answer for the other devices the log does not know when there are some.
#pragma once

#include <QDialog>

#include "core/common/prompter.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tarn {

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(const CredentialsQuestion& question, QWidget* parent = nullptr);

    QString deviceTitle() const;
    QString heading() const;
    // What was typed (Latin-1, exactly) and whether it is for every unknown device.
    CredentialsAnswer answer() const;

private:
    QLabel* heading_;
    QLabel* title_;
    QCheckBox* forEveryUnknown_ = nullptr;
    QLineEdit* id_;
    QLineEdit* password_;
};

}  // namespace tarn
