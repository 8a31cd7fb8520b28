// A Prompter for code that runs without anyone to ask (the simulator, fuzz targets): messages go
// nowhere; every answer is given inside the call: questions No, the password dialog cancelled,
// unless the user of it chooses other answers.
#pragma once

#include <optional>

#include "core/common/prompter.h"

namespace tarn {

class SilentPrompter : public Prompter {
public:
    bool confirmAnswer = false;              // the confirmations of Set and Reboot
    std::optional<Credentials> credentials;  // typed in the password dialog; none: Cancel

    void showMessage(const std::string&, const std::string&, MessageIcon) override {}
    void askYesNo(const std::string&, const std::string&, Answer<bool> answer) override { answer(false); }
    void confirm(const ConfirmText&, Answer<bool> answer) override { answer(confirmAnswer); }
    void askCredentials(const CredentialsQuestion&, Answer<std::optional<CredentialsAnswer>> answer) override {
        if (credentials)
            answer(CredentialsAnswer{*credentials, false});
        else
            answer(std::nullopt);
    }
};

}  // namespace tarn
