// What the three port dialogs share: the port number row, the "Setting" and "Close" buttons, a
// chain (core) that decides every step, and a run that starts the read chain and then opens the
// dialog (open(), window-modal; its finished signal says when it is over). The dialogs show the chain's form and write
// the operator's edits into it.
#pragma once

#include <QDialog>

#include "core/common/prompter.h"
#include "core/monitor/port_dialog_chain.h"

class QBoxLayout;
class QLabel;
class QPushButton;

namespace tarn {

class PortDialog : public QDialog {
    Q_OBJECT
public:
    // Opens the dialog for `port`: the read chain starts and the dialog shows; returns at once.
    void run(int port);

    virtual PortDialogChain& chain() = 0;
    QPushButton* settingButton() const { return setting_; }
    QLabel* portNumber() const { return portNumber_; }

    void done(int result) override;

protected:
    // `enterCloses`: the hidden default button ends the dialog as "Close" does; otherwise Enter does
    // nothing.
    // The chain asks through `prompter` (the frame's).
    PortDialog(const QString& title, bool enterCloses, Prompter& prompter, QWidget* parent);

    // Shows the chain's form in the widgets.
    virtual void showForm() = 0;
    // Called by the concrete dialog once its chain exists.
    void attach(PortDialogChain& chain);
    void addPortRow(QBoxLayout* layout, const QString& label);
    void addFoot(QBoxLayout* layout);
    void keyPressEvent(QKeyEvent* event) override;

    Prompter& prompter_;

private:
    bool enterCloses_;
    QLabel* portNumber_ = nullptr;
    QPushButton* setting_ = nullptr;
    bool showing_ = false;
};

}  // namespace tarn
