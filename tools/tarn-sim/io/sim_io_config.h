// The "io" object of a device in the fleet file: where the device serves the I/O command protocol,
// its starting state, and the fault knobs of its I/O side. See docs/simulator.md, "I/O link".
#pragma once

#include <optional>
#include <string>

#include <QJsonObject>
#include <QString>

#include "core/iolink/io_device.h"

namespace tarnsim {

struct SimIoFaults {
    int nak = 0;                          // every request is answered "00NAK" this many times first
    bool noAnswer = false;                // requests are read and never answered
    int lateMs = 0;                       // every reply is sent this long after its request
    bool badChecksum = false;             // replies carry a wrong checksum
    bool splitReplies = false;            // replies go out one byte at a time
    std::string noise;                    // bytes sent before every reply's ":"
    bool duplicateReplies = false;        // every reply is sent twice
    int closeAfter = 0;                   // the connection is closed after this many replies (0: never)
    bool answer12 = false;                // every request is answered with the enable-status reply "12"
    bool silentAfterSettingMode = false;  // ChangeSettingMode is answered, then nothing more
};

struct SimIoConfig {
    int port = 0;        // TCP port on the device's address; 0 lets the system choose
    bool pty = false;    // also serve on a pseudo-terminal
    bool moving = true;  // ADC values wave and inputs toggle (sim_io_motion.h); false: as set below
    SimIoFaults faults;
    tarn::IoDeviceState initial;
};

// Reads the "io" object of a device entry (absent: defaults); on failure sets *error to one line.
std::optional<SimIoConfig> parseSimIoConfig(const QJsonObject& device, QString* error);

}  // namespace tarnsim
