#include "support/scripted_prompter.h"

#include <utility>

namespace tarn::test {

void ScriptedPrompter::runWhileOpen() {
    if (whileOpen_) std::exchange(whileOpen_, nullptr)();
}

bool ScriptedPrompter::nextAnswer() {
    runWhileOpen();
    if (yesNo_.empty()) return false;
    const bool answer = yesNo_.front();
    yesNo_.pop_front();
    return answer;
}

void ScriptedPrompter::showMessage(const std::string& caption, const std::string& text, MessageIcon) {
    records_.push_back({"message", caption, text});
    runWhileOpen();
}

bool ScriptedPrompter::askYesNo(const std::string& caption, const std::string& text) {
    records_.push_back({"yesno", caption, text});
    return nextAnswer();
}

bool ScriptedPrompter::confirm(const ConfirmText& t) {
    std::string text = t.line1 + "\n" + t.line2 + "\n" + t.line3;
    if (!t.detail.empty()) text += "\n" + t.detail;
    records_.push_back({"confirm", t.caption, text});
    return nextAnswer();
}

std::optional<Credentials> ScriptedPrompter::askCredentials(const std::string& deviceTitle) {
    records_.push_back({"credentials", "Enter Device Password", deviceTitle});
    runWhileOpen();
    if (credentials_.empty()) return std::nullopt;
    auto answer = std::move(credentials_.front());
    credentials_.pop_front();
    return answer;
}

std::vector<std::string> ScriptedPrompter::messageTexts() const {
    std::vector<std::string> texts;
    for (const auto& r : records_)
        if (r.kind == "message") texts.push_back(r.text);
    return texts;
}

}  // namespace tarn::test
