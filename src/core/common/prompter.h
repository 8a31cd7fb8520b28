// The one seam through which every layer asks the operator something or tells them something.
// The GUI implements it with message boxes and dialogs; tests use a scripted one that records
// every caption and text. Texts are 8-bit (Latin-1) strings, exactly as the product shows them.
#pragma once

#include <optional>
#include <string>

namespace tarn {

enum class MessageIcon { None, Information, Warning, Critical, Question };

// The caption of the management side's error reports.
inline constexpr const char* kErrorCaption = "Error";

struct Credentials {
    std::string id;
    std::string password;
};

// Which confirmation it is, so that a prompter without a person (tarnctl) can answer each its own
// way without reading the texts.
enum class ConfirmKind { SetConfirm, RebootConfirm, RebootAfterSet };

// The three-line Yes/No confirmation of the device commands ("Set Confirm", "Reboot Confirm").
// `detail` is shown under the lines when not empty (for instance the devices that did not answer).
struct ConfirmText {
    ConfirmKind kind = ConfirmKind::SetConfirm;
    std::string caption;
    std::string line1;
    std::string line2;
    std::string line3;
    std::string detail;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // A modal report with an OK button.
    virtual void showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon = MessageIcon::None) = 0;
    // A modal Yes/No question; true for Yes.
    virtual bool askYesNo(const std::string& caption, const std::string& text) = 0;
    // The confirmation dialog; true for Yes.
    virtual bool confirm(const ConfirmText& text) = 0;
    // The password dialog for one device ("[ name ]", or empty when no device is named); nothing on
    // Cancel. The ID and the password are returned exactly as typed.
    virtual std::optional<Credentials> askCredentials(const std::string& deviceTitle) = 0;
};

}  // namespace tarn
