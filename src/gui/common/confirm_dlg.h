// CConfirmDlg: the Yes/No confirmation of the device commands: an icon, three lines of text (and an
// optional detail under them), "Yes" (the default) and "No".
#pragma once

#include <QDialog>

#include "core/common/prompter.h"

class QLabel;

namespace tarn {

class CConfirmDlg : public QDialog {
    Q_OBJECT
public:
    explicit CConfirmDlg(const ConfirmText& text, QWidget* parent = nullptr);

    QString lineText(int line) const;  // 1..3
    QString detailText() const;

private:
    QLabel* lines_[3]{};
    QLabel* detail_ = nullptr;
};

}  // namespace tarn
