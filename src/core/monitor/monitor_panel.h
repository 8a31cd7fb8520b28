// The monitor panel's decisions: opening the link, polling, what each result shows, the title of
// the monitor dialog, the setting-mode and link-lost questions, and which open dialog receives
// which result. CTARNWnd paints what this holds and forwards clicks, timer ticks and link events.
//
//   start ──connect──▶ ReadEnableStatus ──'0'──▶ ports enabled/disabled ──▶ ReadStatus at once
//                            │ failed: again at once, 4 times in a row at most; then all Off
//                            ▼
//   every interval: ReadStatus ──'0'──▶ states, "TARN - Communication normality", count := 0
//                        │ no good reply: count + 1; from the 6th poll "TARN - Communication fail"
//                        └ '1' (setting mode) ──▶ question: Yes ChangeRunMode, No close
//
//   link lost ──▶ the title says the link failed and every port shows unknown; open dialogs hear it: the request each
//   waits for fails (result 0), the dialog
//                 shows its failure message and closes ──▶ then, with no dialog open,
//                 "Commnunication Lost : Do you want to re-conect?"
//                 Yes: connect again, config first;  No: close; later notices ignored
//
// Phases (one at a time; each transition names its target):
//
//   Running ──status '1'──▶ AskingSettingMode ──answered──▶ Running
//      │                        │ link lost
//      │                        ▼
//      │                    LostWhileAskingSettingMode ──answered──▶ LinkLost
//      │ link lost                                                     │
//      └──────────────────────────────────────────────────────────▶ LinkLost
//   LinkLost ──no dialog open──▶ AskingReconnect ──Yes, connected──▶ Running
//   any ──No, a failed connect, the operator's close──▶ Closing (final)
//
// While a port dialog is open the poll timer stops; the dialog gets the results of its commands,
// and polling resumes with a status read when it closes. A poll is not queued while the previous
// one is still waiting, so a silent device never makes the queue grow. The device's lights are
// lit while it answers and dark once the title says the link failed.
//
// Every status result (a poll's, or a switch's, which carries the status too) and every loss of the
// link is recorded in history(), whether or not a chart shows it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "core/common/liveness.h"
#include "core/common/prompter.h"
#include "core/iolink/io_requester.h"
#include "core/monitor/io_history.h"
#include "core/monitor/panel_ports.h"

namespace tarn {

class PortDialogChain;
class SerialFirmwareChain;

inline constexpr std::string_view kTitleNormal = "TARN - Communication normality";
inline constexpr std::string_view kTitleFail = "TARN - Communication fail";
inline constexpr std::string_view kCantConnectText = "Can't connect with TARN device !!";
inline constexpr std::string_view kSettingModeQuestion = "Current is setting mode, Please set the working mode";
inline constexpr std::string_view kReconnectQuestion = "Commnunication Lost : Do you want to re-conect?";

// The number of configuration reads that may fail in a row before the panel stops retrying.
constexpr int kMaxConfigReadRetries = 4;
// From this many polls without a good status reply on, the title says the link failed.
constexpr int kMissedPollsBeforeFail = 5;
constexpr int kMaxMissedPolls = 100;

// What the panel asks of the window and dialog around it.
class MonitorPanelHost {
public:
    virtual ~MonitorPanelHost() = default;
    virtual void startPollTimer(int ms) = 0;
    virtual void stopPollTimer() = 0;
    virtual void setTitle(std::string_view title) = 0;
    virtual void repaint() = 0;
    // Starts opening the link the link mode names; requests queued meanwhile are held. The
    // outcome of the open comes back as onOpenFailed (or not at all when it succeeds). False
    // when no open could be started.
    virtual bool connectLink() = 0;
    virtual void disconnectLink() = 0;
    // The monitor dialog is to close; it does so from its event loop, after this call returned.
    virtual void closeMonitor() = 0;
    // The open port dialog is to close, likewise.
    virtual void closePortDialog() = 0;
    // The serial number and firmware dialog is to close, likewise.
    virtual void closeSerialFirmware() = 0;
    // Calls onReconnectQuestionDue() from the event loop, after the caller has returned.
    virtual void postReconnectQuestion() = 0;
    // A good status reply came: the window shows when.
    virtual void goodStatusReceived() {}
    // A poll's outcome was added to the recording.
    virtual void sampleRecorded() {}
    // Milliseconds since the epoch, the time of each recorded sample.
    virtual std::int64_t nowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
};

// Failed configuration reads in a row: one count for the whole program, kept across monitors.
int& programConfigReadFailures();

class MonitorPanel {
public:
    enum class Phase { Running, AskingSettingMode, LostWhileAskingSettingMode, LinkLost, AskingReconnect, Closing };

    // `configReadFailures` counts failed configuration reads in a row; the program's monitors share
    // programConfigReadFailures(), so the count is not reset when a monitor opens again.
    MonitorPanel(MonitorPanelHost& host, IoRequester& io, Prompter& prompter,
                 int& configReadFailures = programConfigReadFailures());

    // Opens the link, reads the configuration and starts polling every `monitorInterval` seconds.
    void start(int monitorInterval);
    void onPollTimer() { Poll(); }
    void onIoResult(int index, int result);
    void onOpenFailed();
    // The engine lost the link (told before the failed results of its requests): polling stops,
    // the open dialogs end after showing the failure of the request they wait for, and the
    // re-connect question follows from the event loop once no dialog is open.
    void onLinkLost();
    void onReconnectQuestionDue();

    // A left click: switches the output under the point (on when it shows Off, off otherwise;
    // a disabled output does nothing). False when no output is there.
    bool leftClick(int x, int y);
    std::optional<PortRef> portAt(int x, int y) const { return ports_.portAt(x, y); }

    // A port dialog is open between these two calls: the poll timer stops, the dialog gets
    // the results of its commands, and polling resumes with a status read afterwards.
    void beginPortDialog(PortDialogChain& chain);
    void endPortDialog();
    // The serial number and firmware dialog; polling goes on while it is open.
    void beginSerialFirmware(SerialFirmwareChain& chain) { serialFirmware_ = &chain; }
    void endSerialFirmware();

    int monitorInterval() const { return monitorInterval_; }
    // Takes effect at the next restart of the poll timer.
    void setMonitorInterval(int seconds) { monitorInterval_ = seconds; }

    const PanelPorts& ports() const { return ports_; }
    // Every status poll of this monitor, good or not, and each loss of the link.
    const IoHistory& history() const { return history_; }
    int missedPolls() const { return missedPolls_; }
    Phase phase() const { return phase_; }
    // The monitor has been asked to close; nothing more is sent or asked, and later link-lost
    // notices are ignored.
    bool closing() const { return phase_ == Phase::Closing; }
    // The device's PWR, RUN and LINK lights: lit while the device answers.
    bool lightsOn() const { return lightsOn_; }

private:
    void Poll();
    void startTimer();
    bool idle() const { return phase_ == Phase::Running && !dialog_; }
    bool linkDown() const;
    void setTitle(std::string_view title);
    void toDialog(int index, int result);
    void askReconnectWhenFree();
    void askReconnect();
    void reconnectOrClose(bool reconnect);
    void failConnect();
    void close();
    void onStatusResult(int result);
    void onConfigResult(int result);
    void askSettingMode();
    void settingModeAnswered(bool runMode);
    void passToDialog(int index, int result, PortKind kind);
    void record(const IoSample& sample);

    MonitorPanelHost& host_;
    IoRequester& io_;
    Prompter& prompter_;
    int& configReadFailures_;
    PanelPorts ports_;
    IoHistory history_;
    Phase phase_ = Phase::Running;
    int monitorInterval_ = 2;
    int missedPolls_ = 0;
    bool readConfigNext_ = false;
    bool lightsOn_ = false;
    PortDialogChain* dialog_ = nullptr;
    // The dialog that ended after the link was lost while its failure message is still open.
    PortDialogChain* noticesOf_ = nullptr;
    SerialFirmwareChain* serialFirmware_ = nullptr;
    Liveness liveness_;
};

}  // namespace tarn
