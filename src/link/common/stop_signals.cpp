#include "link/common/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace tarn {

namespace {

int stopPipe[2] = {-1, -1};

void onStopSignal(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

}  // namespace

bool deliverStopSignals(std::initializer_list<int> stopSignals, QObject* context, std::function<void(int)> stopped) {
    if (stopPipe[0] < 0 && ::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [stopped = std::move(stopped)] {
        unsigned char byte = 0;
        if (::read(stopPipe[0], &byte, 1) == 1) stopped(byte);
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : stopSignals) ::sigaction(s, &action, nullptr);
    return true;
}

}  // namespace tarn
