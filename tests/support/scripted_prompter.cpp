#include "support/scripted_prompter.h"

#include <utility>

namespace tarn::test {

void ScriptedPrompter::record(PromptRecord r) {
    records_.push_back(std::move(r));
    if (onRecord) onRecord(records_.back());
}

void ScriptedPrompter::reply(std::function<void()> answer) {
    if (std::exchange(holdNext_, false)) {
        held_ = std::move(answer);
        return;
    }
    answer();
}

bool ScriptedPrompter::answerHeld() {
    if (!held_) return false;
    std::exchange(held_, nullptr)();
    return true;
}

bool ScriptedPrompter::nextYesNo() {
    if (yesNo_.empty()) return false;
    const bool answer = yesNo_.front();
    yesNo_.pop_front();
    return answer;
}

void ScriptedPrompter::showMessage(const std::string& caption, const std::string& text, MessageIcon) {
    record({"message", caption, text});
}

void ScriptedPrompter::showNotice(const std::string& caption, const std::string& text, MessageIcon,
                                  std::function<void()> closed) {
    record({"message", caption, text});
    reply(std::move(closed));
}

void ScriptedPrompter::askYesNo(const std::string& caption, const std::string& text, Answer<bool> answer) {
    record({"yesno", caption, text});
    reply([this, answer] { answer(nextYesNo()); });
}

void ScriptedPrompter::confirm(const ConfirmText& t, Answer<bool> answer) {
    std::string text = t.line1 + "\n" + t.line2 + "\n" + t.line3;
    if (!t.detail.empty()) text += "\n" + t.detail;
    record({"confirm", t.caption, text});
    reply([this, answer] { answer(nextYesNo()); });
}

void ScriptedPrompter::askCredentials(const CredentialsQuestion& question,
                                      Answer<std::optional<CredentialsAnswer>> answer) {
    record({"credentials", "Enter Device Password", question.deviceTitle});
    lastQuestion_ = question;
    reply([this, answer] {
        std::optional<CredentialsAnswer> typed;
        if (!credentials_.empty()) {
            typed = std::move(credentials_.front());
            credentials_.pop_front();
        }
        answer(std::move(typed));
    });
}

std::vector<std::string> ScriptedPrompter::messageTexts() const {
    std::vector<std::string> texts;
    for (const auto& r : records_)
        if (r.kind == "message") texts.push_back(r.text);
    return texts;
}

}  // namespace tarn::test
