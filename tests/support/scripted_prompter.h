// A Prompter for tests: records every message and question, answers from a script.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/common/prompter.h"

namespace tarn::test {

struct PromptRecord {
    std::string kind;  // "message", "yesno", "confirm" (text: the lines joined by "\n") or "credentials" (text: title)
    std::string caption;
    std::string text;
};

class ScriptedPrompter : public Prompter {
public:
    void showMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
    bool askYesNo(const std::string& caption, const std::string& text) override;
    bool confirm(const ConfirmText& text) override;
    std::optional<Credentials> askCredentials(const std::string& deviceTitle) override;

    // Answers for the next questions and confirmations, oldest first; none scripted gives "No".
    void answerYesNo(bool yes) { yesNo_.push_back(yes); }
    // Answers for the next password dialogs; none scripted gives Cancel.
    void answerCredentials(std::optional<Credentials> answer) { credentials_.push_back(std::move(answer)); }
    // Runs while the next dialog of any kind is "open" (once).
    void whileNextDialogOpen(std::function<void()> action) { whileOpen_ = std::move(action); }

    const std::vector<PromptRecord>& records() const { return records_; }
    std::vector<std::string> messageTexts() const;
    void clear() { records_.clear(); }

private:
    std::vector<PromptRecord> records_;
    bool nextAnswer();
    void runWhileOpen();

    std::deque<bool> yesNo_;
    std::deque<std::optional<Credentials>> credentials_;
    std::function<void()> whileOpen_;
};

}  // namespace tarn::test
