#include "gui/monitor/port_dialog.h"

#include <QBoxLayout>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace tarn {

PortDialog::PortDialog(const QString& title, bool enterCloses, Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter), enterCloses_(enterCloses) {
    setWindowTitle(title);
}

void PortDialog::attach(PortDialogChain& chain) {
    chain.formChanged = [this] {
        // The form is shown once per change; widget signals raised by showing it are not edits.
        if (showing_) return;
        showing_ = true;
        showForm();
        showing_ = false;
    };
}

void PortDialog::addPortRow(QBoxLayout* layout, const QString& label) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(label, this));
    portNumber_ = new QLabel(this);
    portNumber_->setMinimumWidth(30);
    row->addWidget(portNumber_);
    row->addStretch();
    layout->addLayout(row);
}

void PortDialog::addFoot(QBoxLayout* layout) {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    auto* row = new QHBoxLayout;
    setting_ = new QPushButton(QStringLiteral("Setting"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {setting_, close}) b->setAutoDefault(false);
    row->addWidget(setting_);
    row->addStretch();
    row->addWidget(close);
    layout->addLayout(row);
    connect(setting_, &QPushButton::clicked, this, [this] { chain().onSetting(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void PortDialog::run(int port) {
    portNumber_->setText(QString::number(port));
    open();  // first, so that what the read chain tells stands over the dialog
    chain().open(port);
}

void PortDialog::done(int result) {
    chain().close();
    // A question of the chain still open (the link went, or the panel closed the dialog) closes
    // with it; its answer reaches nothing. Messages stay for the operator to read.
    for (QMessageBox* box : findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly))
        if (box->isVisible() && box->button(QMessageBox::Yes)) box->reject();
    QDialog::done(result);
}

void PortDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (enterCloses_) reject();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace tarn
