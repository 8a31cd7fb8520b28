// A Prompter for tests: records every message and question, answers from a script inside the call,
// or holds a question open so that a test can make things happen before it answers.
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
    // Recorded as a message; closed at once, or held open by holdNextQuestion() until answerHeld().
    void showNotice(const std::string& caption, const std::string& text, MessageIcon icon,
                    std::function<void()> closed) override;
    void askYesNo(const std::string& caption, const std::string& text, Answer<bool> answer) override;
    void confirm(const ConfirmText& text, Answer<bool> answer) override;
    void askCredentials(const CredentialsQuestion& question, Answer<std::optional<CredentialsAnswer>> answer) override;
    bool operatorAnswers() const override { return true; }

    // Answers for the next questions and confirmations, oldest first; none scripted gives "No".
    void answerYesNo(bool yes) { yesNo_.push_back(yes); }
    // Answers for the next password dialogs; none scripted gives Cancel.
    void answerCredentials(std::optional<Credentials> answer) {
        credentials_.push_back(answer ? std::optional<CredentialsAnswer>(CredentialsAnswer{*answer, false})
                                      : std::nullopt);
    }
    void answerCredentials(CredentialsAnswer answer) { credentials_.push_back(std::move(answer)); }

    // The next question is recorded but not answered: it stays open until answerHeld().
    void holdNextQuestion() { holdNext_ = true; }
    bool questionOpen() const { return static_cast<bool>(held_); }
    // Answers the held question from the script (as above); false when none is open.
    bool answerHeld();

    // Called with every record as it is made: what the window shows at the moment of a message.
    std::function<void(const PromptRecord&)> onRecord;

    const std::vector<PromptRecord>& records() const { return records_; }
    std::vector<std::string> messageTexts() const;
    const CredentialsQuestion& lastCredentialsQuestion() const { return lastQuestion_; }
    void clear() { records_.clear(); }

private:
    void record(PromptRecord r);
    // Runs `answer` now, or keeps it for answerHeld().
    void reply(std::function<void()> answer);
    bool nextYesNo();

    std::vector<PromptRecord> records_;
    std::deque<bool> yesNo_;
    std::deque<std::optional<CredentialsAnswer>> credentials_;
    CredentialsQuestion lastQuestion_;
    bool holdNext_ = false;
    std::function<void()> held_;
};

}  // namespace tarn::test
