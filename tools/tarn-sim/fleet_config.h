// The fleet file of tarn-sim: a JSON document describing each simulated device and its fault knobs.
// See docs/simulator.md for the format.
#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "core/discovery/management_message.h"

namespace tarnsim {

struct ProbeFaults {
    bool badChecksum = false;     // the probe reply carries a wrong checksum
    bool duplicateReply = false;  // every probe is answered twice
    int nameCutAt = -1;           // a 00 byte replaces the name byte at this index (length unchanged)
    int replyDelayMs = 0;         // the probe reply is sent this long after the probe
};

struct SimDeviceConfig {
    std::string name;
    tarn::MacAddress mac{};
    int productId = 74;           // any byte; 74..76 are the products the manager knows
    int major = 1;
    int minor = 0;
    bool macForm = false;         // answer in the DB form
    int addressingKind = 2;       // byte 10 of a DB-form reply
    QString address;              // loopback address the device answers from, e.g. 127.0.0.2
    ProbeFaults probeFaults;
    QJsonObject raw;              // the device's whole entry, for the parts of the simulator that read more of it
};

struct FleetConfig {
    std::vector<SimDeviceConfig> devices;
};

// Reads a fleet file; on failure returns nothing and sets *error to one line naming the problem.
std::optional<FleetConfig> loadFleet(const QString& path, QString* error);
std::optional<FleetConfig> parseFleet(const QByteArray& json, QString* error);

}  // namespace tarnsim
