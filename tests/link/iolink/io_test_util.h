// Helpers for the I/O link tests: a recorder of engine signals (bounded waits: support/wait.h).
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <QObject>

#include "link/iolink/comm_process.h"
#include "support/wait.h"

namespace tarn::test {

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
