// A Prompter for the fuzz targets: messages go nowhere, questions are answered No.
#pragma once

#include "core/common/prompter.h"

namespace tarn::fuzz {

class SilentPrompter : public Prompter {
public:
    void showMessage(const std::string&, const std::string&, MessageIcon) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
};

}  // namespace tarn::fuzz
