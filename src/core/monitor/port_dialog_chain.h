// What the three port dialogs share: each runs a read chain when it opens and a write chain on
// "Setting", one request at a time, the next sent from the result of the one before. The dialog
// widgets only show the form, forward the operator's edits into it and forward results here.
//
// Write chains follow one pattern:
//
//   question (the chain waits for its answer) --No--> end
//      | Yes, and the typed values pass their checks (else: the check's message, end)
//   ChangeSettingMode --not '1'--> "Change Setting Mode Fail!", end, nothing written
//      | '1'
//   the writes of the port's settings; a failed write sets the warning flag and the chain goes on
//      |
//   ChangeRunMode --> "Change Run Mode Fail!" when not '0'; then the closing message:
//                     the warning variant when the flag is set, else the complete variant
//
// A chain never ends quietly with the device perhaps left in setting mode. When ChangeRunMode
// fails, or ChangeSettingMode got no valid answer (the device may have switched all the same), the
// operator is told that the device may still be in setting mode and asked whether to return it to
// run mode: Yes sends ChangeRunMode again (and asks again if that fails too), No ends the chain.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/common/liveness.h"
#include "core/common/prompter.h"
#include "core/iolink/io_requester.h"
#include "core/monitor/panel_ports.h"

namespace tarn {

inline constexpr std::string_view kMonitorCaption = "TARN Manager";

// How the last write chain ended.
enum class ChainEnd {
    None,      // no write chain has ended since the dialog opened
    Complete,  // the complete message
    Warning,   // the warning message: a write step failed
    Aborted,   // refused before anything was written: declined, bad input, no setting mode
};

class PortDialogChain {
public:
    PortDialogChain(IoRequester& io, Prompter& prompter) : io_(io), prompter_(prompter) {}
    virtual ~PortDialogChain() = default;
    PortDialogChain(const PortDialogChain&) = delete;
    PortDialogChain& operator=(const PortDialogChain&) = delete;

    virtual PortKind kind() const = 0;
    // The dialog opens for `port`: the configuration copy is seeded from the engine, the form is
    // reset and the read chain starts.
    virtual void open(int port) = 0;
    // "Setting" pressed: the write chain starts, unless a chain is running.
    virtual void onSetting() = 0;
    // "Setting" is enabled: the read chain has ended and no write chain runs.
    bool settingOffered() const { return settingEnabled_; }
    // A result the panel passes on; results the current step does not wait for are ignored.
    void onIoResult(int index, int result);
    // The chain sent ChangeSettingMode and no ChangeRunMode has been answered since.
    bool runModeOwed() const { return runModeOwed_; }
    // The dialog closed: the rest of a running chain is dropped, also when it closed while one of
    // the chain's own messages was open.
    void close() {
        awaiting_ = kNothing;
        closed_ = true;
    }
    // The link was lost: the result the chain waits for still comes (it fails) and is shown as
    // the chain shows any failure, but nothing more is sent. An open write question is dropped:
    // its answer, when it comes, changes nothing.
    void onLinkLost() {
        closed_ = true;
        linkLost_ = true;
        if (awaiting_ == kAnswer) awaiting_ = kNothing;
    }
    // After a lost link the chain's messages are notices whose closing counts: the monitor asks
    // whether to connect again only once they are closed, never on top of them. `then` runs when
    // none is open (at once when none is).
    void whenNoticesClosed(std::function<void()> then);

    int port() const { return port_; }
    bool running() const { return awaiting_ != kNothing; }
    ChainEnd lastEnd() const { return lastEnd_; }
    // The last message the chain told, as a value for callers that show it their own way.
    const std::string& lastMessage() const { return lastMessage_; }
    const IoConfig& configuration() const { return copy_; }

    // Called after the chain changed the form, so the dialog shows it again.
    std::function<void()> formChanged;

protected:
    static constexpr int kNothing = -1;
    static constexpr int kAnswer = -2;  // the write question is open

    // The chain's step for the result of the request it waits for.
    virtual void step(int index, int result) = 0;

    // Sends a request and waits for its result; nothing once the dialog has closed. A request its
    // builder refused is still queued (it fails with result 0 and the chain takes its failure path),
    // after the operator has been told why.
    void send(const IoRequest& request);
    // A message over the form as it stands.
    void tell(std::string_view text);
    void refreshCopy() { copy_ = io_.config(); }
    void showForm();
    void beginOpen(int port);
    void offerSetting() { settingEnabled_ = true; }

    // The steps every write chain shares. The question first; `write` runs on Yes, while the
    // dialog is still open. Nothing is asked while a chain runs.
    void confirmWrite(std::string_view question, std::function<void()> write);
    // Then, once the typed values passed their checks, the change to setting mode.
    void startWrite();
    // Its result: false (the chain has ended, nothing written) unless the device is in setting mode.
    bool inSettingMode(int result);
    // The last step: the result of ChangeRunMode and the closing message. `runModeFailWarns`: a
    // failed return to run mode turns the closing message into the warning.
    void endWrite(int result, bool runModeFailWarns, std::string_view completeText, std::string_view warningText);
    // Ends a write chain with `text` before anything was written.
    void abort(std::string_view text);

private:
    // Asks whether to return the device to run mode; `conclude_` ends the chain on No or once
    // the device is back in run mode.
    void offerRunMode();
    void retriedRunMode(int result);

protected:
    IoRequester& io_;
    Prompter& prompter_;
    IoConfig copy_;
    bool warning_ = false;
    int port_ = 1;
    int awaiting_ = kNothing;  // the command index whose result the chain waits for
    bool closed_ = true;
    bool settingEnabled_ = false;
    ChainEnd lastEnd_ = ChainEnd::None;
    std::string lastMessage_;
    bool runModeOwed_ = false;
    bool linkLost_ = false;
    int openNotices_ = 0;
    std::function<void()> noticesClosed_;
    bool retryingRunMode_ = false;
    std::function<void()> conclude_;
    Liveness liveness_;
};

// Whether a result is its request's success within the chains: '1' for ChangeSettingMode, '0' for
// the others, and also '2' (the port has none) for the macro and delay/pulse reads, which tells
// the port's setting all the same.
bool chainStepSucceeded(int index, int result);

// The shared messages of the chains.
inline constexpr std::string_view kReadEnableStatusFailText = "Read Enable Status Fail!";
inline constexpr std::string_view kChangeSettingModeFailText = "Change Setting Mode Fail!";
inline constexpr std::string_view kChangeRunModeFailText = "Change Run Mode Fail!";
inline constexpr std::string_view kMayStillBeInSettingModeQuestion =
    "The device may still be in setting mode. Return it to run mode now?";

}  // namespace tarn
