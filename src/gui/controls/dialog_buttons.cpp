#include "gui/controls/dialog_buttons.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFrame>
#include <QPushButton>

namespace tarn {

void addOkCancelFoot(QDialog* dialog, QBoxLayout* layout) {
    auto* line = new QFrame(dialog);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(line);
    layout->addWidget(buttons);
}

void fitCaption(QDialog* dialog) {
    // The caption's own width and room for the title bar's icon and buttons.
    dialog->setMinimumWidth(dialog->fontMetrics().horizontalAdvance(dialog->windowTitle()) + 120);
}

}  // namespace tarn
