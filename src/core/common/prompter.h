// The one seam through which every layer asks the operator something or tells them something.
// The GUI implements it with message boxes and dialogs; tarnctl answers from its options; tests use
// a scripted one that records every caption and text. Texts are 8-bit (Latin-1) strings, exactly as
// the product shows them.
//
// Nothing here waits. A question hands its answer to a callback exactly once: inside the call
// (tarnctl, tests) or later from the event loop (the window). An asker therefore enters its
// "waiting for the answer to X" state BEFORE it asks, handles whatever arrives meanwhile in that
// state, never asks a second question on top of an open one, and wraps the callback with its
// Liveness so that an answer that comes after the asker is gone reaches nothing.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/common/report.h"

namespace tarn {

template <class T>
using Answer = std::function<void(T)>;

struct Credentials {
    std::string id;
    std::string password;
};

// What the password dialog asks. `refused` is true only when the device refused credentials that
// were tried (the dialog then says "Incorrect password or unknown ID"); a first question does not.
struct CredentialsQuestion {
    std::string deviceTitle;  // "[ name ]", or empty when no device is named
    bool refused = false;
    int otherUnknownDevices = 0;  // >0: the dialog offers "Use for every selected device the log does not know"
};
struct CredentialsAnswer {
    Credentials credentials;       // exactly as typed
    bool forEveryUnknown = false;  // the box above was ticked
};

// Which confirmation it is, so that a prompter without a person (tarnctl) can answer each its own
// way without reading the texts.
enum class ConfirmKind { SetConfirm, RebootConfirm, RebootAfterSet };

// The three-line Yes/No confirmation of the device commands ("Set Confirm", "Reboot Confirm").
// `detail` is shown under the lines when not empty (for instance the devices that did not answer).
// How a run without an operator at hand (a device job, tarnctl) answers a confirmation: Set and
// Reboot are what it was started for; the reboot question after a set is No (a run reboots only when
// asked to, once the set is over).
inline bool unattendedConfirm(ConfirmKind kind) {
    return kind == ConfirmKind::SetConfirm || kind == ConfirmKind::RebootConfirm;
}

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
    // A report with an OK button. Never waits: the caller goes on at once.
    virtual void showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon = MessageIcon::None) = 0;
    // A report whose closing matters to the caller (one box at a time): `closed` is called once the
    // operator has closed it, at once where nobody reads it.
    virtual void showNotice(const std::string& caption, const std::string& text, MessageIcon icon,
                            std::function<void()> closed) {
        showMessage(caption, text, icon);
        closed();
    }
    // A Yes/No question; true for Yes.
    virtual void askYesNo(const std::string& caption, const std::string& text, Answer<bool> answer) = 0;
    // The confirmation dialog; true for Yes.
    virtual void confirm(const ConfirmText& text, Answer<bool> answer) = 0;
    // The password dialog; nothing on Cancel.
    virtual void askCredentials(const CredentialsQuestion& question,
                                Answer<std::optional<CredentialsAnswer>> answer) = 0;

    // True where a person answers (the window, and tests that play one): an unanswered password
    // dialog is then their Cancel, not a lack of credentials.
    virtual bool operatorAnswers() const { return false; }

    // Shows what a step reported, each report in its own box, in order.
    void showReports(const StepResult& result) {
        for (const Report& r : result.reports) showMessage(r.caption, r.text, r.icon);
    }
};

}  // namespace tarn
