// Helpers for the I/O link tests: bounded waits on the event loop and a recorder of engine signals.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>

#include "link/iolink/comm_process.h"

namespace tarn::test {

// Runs the event loop until `done` holds or `timeoutMs` passes; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Records every signal of an engine; `connects` holds each open's outcome (linkOpened: true,
// openFailed: false).
struct EngineRecorder {
    std::vector<std::pair<int, int>> results;
    int linkLost = 0;
    std::vector<bool> connects;

    explicit EngineRecorder(CCommProcess& engine) {
        QObject::connect(&engine, &CCommProcess::ioResult, [this](int i, int r) { results.emplace_back(i, r); });
        QObject::connect(&engine, &CCommProcess::ioLinkLost, [this] { ++linkLost; });
        QObject::connect(&engine, &CCommProcess::linkOpened, [this] { connects.push_back(true); });
        QObject::connect(&engine, &CCommProcess::openFailed, [this](const QString&) { connects.push_back(false); });
    }
};

}  // namespace tarn::test
