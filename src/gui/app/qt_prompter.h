// The Prompter of the desktop application: message boxes owned by a window.
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
    bool askYesNo(const std::string& caption, const std::string& text) override;
    bool confirm(const ConfirmText& text) override;
    std::optional<Credentials> askCredentials(const std::string& deviceTitle) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace tarn
