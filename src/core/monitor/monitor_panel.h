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
//   link lost ──▶ "Commnunication Lost : Do you want to re-conect?"
//                 Yes: connect again, config first;  No: close; later notices ignored
//
// While a port dialog is open the poll timer stops; the dialog gets the results of its commands,
// and polling resumes with a status read when it closes. A poll is not queued while the previous
// one is still waiting, so a silent device never makes the queue grow.
#pragma once

#include <string_view>

#include "core/common/prompter.h"
#include "core/iolink/io_requester.h"
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
};

class MonitorPanel {
public:
    // `configReadFailures` counts failed configuration reads in a row for the whole program: it is
    // not reset when a monitor opens again.
    MonitorPanel(MonitorPanelHost& host, IoRequester& io, Prompter& prompter, int& configReadFailures);

    // Opens the link, reads the configuration and starts polling every `monitorInterval` seconds.
    void start(int monitorInterval);
    void onPollTimer() { Poll(); }
    void onIoResult(int index, int result);
    void onOpenFailed();
    void onLinkLost();

    // A left click: switches the output under the point (on when it shows Off, off otherwise;
    // a disabled output does nothing). False when no output is there.
    bool leftClick(int x, int y);
    std::optional<PortRef> portAt(int x, int y) const { return ports_.portAt(x, y); }

    // A port dialog runs (modally) between these two calls: the poll timer stops, the dialog gets
    // the results of its commands, and polling resumes with a status read afterwards.
    void beginPortDialog(PortDialogChain& chain);
    void endPortDialog();
    // The serial number and firmware dialog; polling goes on while it is open.
    void beginSerialFirmware(SerialFirmwareChain& chain) { serialFirmware_ = &chain; }
    void endSerialFirmware() { serialFirmware_ = nullptr; }

    int monitorInterval() const { return monitorInterval_; }
    // Takes effect at the next restart of the poll timer.
    void setMonitorInterval(int seconds) { monitorInterval_ = seconds; }

    const PanelPorts& ports() const { return ports_; }
    int missedPolls() const { return missedPolls_; }
    bool readConfigNext() const { return readConfigNext_; }
    bool linkLostHandled() const { return linkLostHandled_; }
    // The monitor has been asked to close; nothing more is sent or asked.
    bool closing() const { return closing_; }

private:
    enum class Question { None, SettingMode, Reconnect };

    void Poll();
    void startTimer();
    bool idle() const { return !closing_ && !dialog_ && question_ == Question::None; }
    void reconnectOrClose(bool reconnect);
    void failConnect();
    void close();
    void onStatusResult(int result);
    void onConfigResult(int result);
    void askSettingMode();
    void passToDialog(int index, int result, PortKind kind);

    MonitorPanelHost& host_;
    IoRequester& io_;
    Prompter& prompter_;
    int& configReadFailures_;
    PanelPorts ports_;
    bool linkLostHandled_ = false;
    int monitorInterval_ = 2;
    int missedPolls_ = 0;
    bool readConfigNext_ = false;
    bool closing_ = false;
    Question question_ = Question::None;
    bool linkLostWhileAsking_ = false;
    PortDialogChain* dialog_ = nullptr;
    SerialFirmwareChain* serialFirmware_ = nullptr;
};

}  // namespace tarn
