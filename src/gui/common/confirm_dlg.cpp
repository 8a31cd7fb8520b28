#include "gui/common/confirm_dlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "link/common/qt_bytes.h"

namespace tarn {

CConfirmDlg::CConfirmDlg(const ConfirmText& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(latin1(text.caption));
    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(14);
    grid->addWidget(icon, 0, 0, 3, 1);
    const std::string* texts[] = {&text.line1, &text.line2, &text.line3};
    for (int i = 0; i < 3; ++i) {
        lines_[i] = new QLabel(latin1(*texts[i]), this);
        lines_[i]->setTextFormat(Qt::PlainText);
        grid->addWidget(lines_[i], i, 1);
    }
    QFont bold = lines_[0]->font();
    bold.setBold(true);
    lines_[0]->setFont(bold);
    detail_ = new QLabel(latin1(text.detail), this);
    detail_->setTextFormat(Qt::PlainText);
    detail_->setWordWrap(true);
    detail_->setVisible(!text.detail.empty());
    grid->addWidget(detail_, 3, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    grid->addWidget(line, 4, 0, 1, 2);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* yes = buttons->addButton(QStringLiteral("Yes"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("No"), QDialogButtonBox::RejectRole);
    yes->setDefault(true);
    yes->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 5, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

QString CConfirmDlg::lineText(int line) const { return line >= 1 && line <= 3 ? lines_[line - 1]->text() : QString(); }

QString CConfirmDlg::detailText() const { return detail_->text(); }

}  // namespace tarn
