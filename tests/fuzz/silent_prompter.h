// A Prompter for the fuzz targets: messages go nowhere, questions are answered No.
#pragma once

#include "core/common/prompter.h"

namespace tarn::fuzz {

class SilentPrompter : public Prompter {
public:
    void showMessage(const std::string&, const std::string&, MessageIcon) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    bool confirm(const ConfirmText&) override { return false; }
    std::optional<Credentials> askCredentials(const std::string&) override { return std::nullopt; }
};

}  // namespace tarn::fuzz
