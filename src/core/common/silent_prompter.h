// A Prompter for code that runs without anyone to ask (the simulator, fuzz targets): messages go
// nowhere; questions are answered No and the password dialog is cancelled, unless the user of it
// chooses other answers.
#pragma once

#include <optional>

#include "core/common/prompter.h"

namespace tarn {

class SilentPrompter : public Prompter {
public:
    bool confirmAnswer = false;              // the confirmations of Set and Reboot
    std::optional<Credentials> credentials;  // typed in the password dialog; none: Cancel

    void showMessage(const std::string&, const std::string&, MessageIcon) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    bool confirm(const ConfirmText&) override { return confirmAnswer; }
    std::optional<Credentials> askCredentials(const std::string&) override { return credentials; }
};

}  // namespace tarn
