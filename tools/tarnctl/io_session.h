// What the io subcommands share: their options (the link, and the settings of one port), the
// wait for each request's result on an open engine, and the JSON helpers of their output.
#pragma once

#include <optional>
#include <string>

#include <QEventLoop>
#include <QStringList>

#include "core/common/serial_settings.h"
#include "link/common/qt_bytes.h"
#include "link/iolink/comm_process.h"

namespace tarnctl {

// The port settings the port commands change; what is not given keeps the device's setting.
struct PortOptions {
    std::optional<bool> enable;         // --enable / --disable
    std::optional<std::string> macro;   // --macro EXPR; "" with --no-macro
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
    tarn::SerialSettings line;
    bool json = false;
    PortOptions portOptions;
    QStringList words;  // the subcommand and its arguments
};

std::optional<IoOptions> parseIoOptions(const QStringList& args, QString* error);

// Runs requests one by one on an engine, waiting on its signals; every wait is bounded by the
// link's connect time-out or the reply time-out.
class IoSession {
public:
    explicit IoSession(tarn::CCommProcess& engine);

    // Opens the link (again, after a loss or a Disconnect) and waits for the outcome.
    bool open(const IoOptions& o);
    // Queues a request (through `queue`) and waits for its result; nothing on a link failure.
    template <typename Queue>
    std::optional<int> run(Queue&& queue) {
        result_.reset();
        if (!queue()) {
            const std::string_view why = tarn::ioRefusalText(engine_.lastRefusal());
            failure_ = tarn::latin1(why);
            return std::nullopt;
        }
        if (!result_ && !lost_) loop_.exec();
        if (lost_) return linkLost();
        return result_;
    }
    // Waits for results until `done` holds; false when the link was lost first.
    template <typename Done>
    bool waitUntil(Done&& done) {
        while (!done() && !lost_) loop_.exec();
        if (lost_) linkLost();
        return !lost_;
    }

    const QString& failure() const { return failure_; }

private:
    std::nullopt_t linkLost();

    tarn::CCommProcess& engine_;
    QEventLoop loop_;
    std::optional<int> result_;
    bool lost_ = false;
    bool connected_ = false;
    QString failure_;
};

std::string jsonString(const std::string& text);

template <typename Array>
std::string jsonNumbers(const Array& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(static_cast<int>(values[i]));
    }
    return out + "]";
}

// The port commands: output N, input N, adc N (io_port_command.cpp).
int runPortCommand(const IoOptions& o, tarn::CCommProcess& engine, IoSession& session);

}  // namespace tarnctl
