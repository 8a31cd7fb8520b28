#include "support/scripted_prompter.h"

namespace tarn::test {

void ScriptedPrompter::showMessage(const std::string& caption, const std::string& text, MessageIcon) {
    records_.push_back({"message", caption, text});
}

bool ScriptedPrompter::askYesNo(const std::string& caption, const std::string& text) {
    records_.push_back({"yesno", caption, text});
    if (yesNo_.empty()) return false;
    const bool answer = yesNo_.front();
    yesNo_.pop_front();
    return answer;
}

std::vector<std::string> ScriptedPrompter::messageTexts() const {
    std::vector<std::string> texts;
    for (const auto& r : records_)
        if (r.kind == "message") texts.push_back(r.text);
    return texts;
}

}  // namespace tarn::test
