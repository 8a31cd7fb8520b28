// A Prompter for tests: records every message and question, answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/common/prompter.h"

namespace tarn::test {

struct PromptRecord {
    std::string kind;  // "message" or "yesno"
    std::string caption;
    std::string text;
};

class ScriptedPrompter : public Prompter {
public:
    void showMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
    bool askYesNo(const std::string& caption, const std::string& text) override;

    // Answers for the next questions, oldest first; a question with no scripted answer gets "No".
    void answerYesNo(bool yes) { yesNo_.push_back(yes); }

    const std::vector<PromptRecord>& records() const { return records_; }
    std::vector<std::string> messageTexts() const;
    void clear() { records_.clear(); }

private:
    std::vector<PromptRecord> records_;
    std::deque<bool> yesNo_;
};

}  // namespace tarn::test
