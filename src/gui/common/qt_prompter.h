// The Prompter of the desktop application: message boxes and dialogs owned by a window, each shown
// with open() (never exec()): the window's event loop goes on, and the answer is handed over when
// the box or dialog finishes. A box goes over the dialog the operator works in when one is open over
// the owner (the I/O monitor, a port dialog), else over the owner; closing that window closes its
// questions with it (no answer then), while a report moves to the window below.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/common/prompter.h"

namespace tarn {

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    void showMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
    void showNotice(const std::string& caption, const std::string& text, MessageIcon icon,
                    std::function<void()> closed) override;
    void askYesNo(const std::string& caption, const std::string& text, Answer<bool> answer) override;
    void confirm(const ConfirmText& text, Answer<bool> answer) override;
    void askCredentials(const CredentialsQuestion& question, Answer<std::optional<CredentialsAnswer>> answer) override;
    bool operatorAnswers() const override { return true; }

private:
    QWidget* boxParent() const;

    QPointer<QWidget> owner_;
};

}  // namespace tarn
