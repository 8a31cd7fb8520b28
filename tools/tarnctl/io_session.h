// What the io subcommands share: their options (the link, and the settings of one port), and the
// wait for each request's result on an open engine.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QStringList>

#include "core/common/serial_settings.h"
#include "link/common/qt_bytes.h"
#include "link/iolink/comm_process.h"

namespace tarnctl {

// The port settings the port commands change; what is not given keeps the device's setting.
struct PortOptions {
    std::optional<bool> enable;         // --enable / --disable
    std::optional<std::string> macro;   // --macro EXPR (an empty one is refused, as the dialog refuses it)
    bool noMacro = false;               // --no-macro
    std::optional<int> delayPulseMode;  // 0 delay on, 1 delay off, 2 pulse; -1 with --no-delay-pulse
    std::string onTime;
    std::string offTime;
    std::optional<bool> powerRecovery;  // --power-recovery on|off
    std::optional<bool> toSwitch;       // --level / --switch LEVEL
    std::string level;                  // the switch level
    std::optional<int> reference;       // --reference avcc|inside|outside: the list item
};

struct IoOptions {
    QString host;
    int port = 0;
    QString serial;
    tarn::SerialSettings line;  // --baud, --parity, --data-bits, --stop-bits (defaults: options.cpp)
    bool json = false;
    bool csv = false;    // watch --csv
    int intervalMs = 0;  // watch --interval S (seconds, fractions allowed; default: options.cpp)
    int count = 0;       // watch --count N; 0: until stopped
    PortOptions portOptions;
    QStringList words;  // the subcommand and its arguments
    QStringList given;  // the options given, besides those of the link ("--csv", "--enable", ...)
};

// The options the subcommand o.words[0] does not take, as a message ("status takes no --csv"), or
// nothing.
std::optional<QString> unusedIoOptions(const IoOptions& o);

// The arguments after "io": the options declared in options.cpp (with their defaults), in any order
// around the subcommand's words; nothing and the message when they cannot be used.
std::optional<IoOptions> parseIoOptions(const QStringList& commandLine, QString* error);

// Runs requests one by one on an engine, in continuations on the application's own event loop
// (no loop of its own): each step hands its outcome to the next. Every wait is bounded by the link's
// connect time-out or the reply time-out.
class IoSession {
public:
    explicit IoSession(tarn::CCommProcess& engine);

    // Opens the link (again, after a loss or a Disconnect); `done(true)` once it is open, false
    // (failure() says why) when it cannot be.
    void open(const IoOptions& o, std::function<void(bool)> done);
    // Queues a request (through `queue`) and hands its result to `done`; nothing (failure() says
    // why) when its builder refused it or the link was lost.
    void run(const std::function<bool()>& queue, std::function<void(std::optional<int>)> done);
    // After each result, and now: `done(true)` once `ready()` holds; false when the link is lost first.
    void whenReady(std::function<bool()> ready, std::function<void(bool)> done);

    const QString& failure() const { return failure_; }

private:
    void linkLost();
    void check();

    tarn::CCommProcess& engine_;
    std::function<void(bool)> opening_;
    std::function<void(std::optional<int>)> result_;
    std::function<bool()> ready_;
    std::function<void(bool)> readyDone_;
    bool lost_ = false;
    QString failure_;
};

// io watch: a status line every interval until stopped or --count polls; ends with endLoop.
std::shared_ptr<void> startWatch(const IoOptions& o, tarn::CCommProcess& engine, IoSession& session);

// The port commands: output N, input N, adc N (io_port_command.cpp). checkPortCommand: 0, or the
// exit code of a bad use (its message printed), before any link is opened.
int checkPortCommand(const IoOptions& o);
// Starts the command on the open link; it ends with endLoop. The caller keeps the result
// until then.
std::shared_ptr<void> startPortCommand(const IoOptions& o, tarn::CCommProcess& engine, IoSession& session);

}  // namespace tarnctl
