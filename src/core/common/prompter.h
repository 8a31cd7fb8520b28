// The one seam through which every layer asks the operator something or tells them something.
// The GUI implements it with message boxes and dialogs; tests use a scripted one that records
// every caption and text. Texts are 8-bit (Latin-1) strings, exactly as the product shows them.
#pragma once

#include <optional>
#include <string>

namespace tarn {

enum class MessageIcon { None, Information, Warning, Critical, Question };

struct Credentials {
    std::string id;
    std::string password;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // A modal report with an OK button.
    virtual void showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon = MessageIcon::None) = 0;
    // A modal Yes/No question; true for Yes.
    virtual bool askYesNo(const std::string& caption, const std::string& text) = 0;
};

}  // namespace tarn
