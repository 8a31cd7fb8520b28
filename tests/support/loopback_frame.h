// The window's start state for devices on loopback: their device port, the loopback broadcast
// address, the repository's data and a scratch folder for the files the window writes.
#pragma once

#include <QHostAddress>

#include "gui/common/frame_state.h"
#include "support/test_paths.h"

namespace tarn::test {

inline FrameState loopbackFrameState(int devicePort) {
    FrameState s;
    s.devicePort = static_cast<quint16>(devicePort);
    s.broadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
    s.dataDir = dataDir();
    s.writableDir = scratchDir();
    return s;
}

}  // namespace tarn::test
