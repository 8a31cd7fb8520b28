// The discovery probe of `tarnctl probe` and `tarnctl fleet`: sent once (broadcast, on every
// interface), or to each typed address by unicast at a steady pace (ProbeSweep); replies collected
// until the wait after the last probe, each MAC once (a fleet keeps every device that answers, so
// that two devices with one MAC are seen).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QHostAddress>
#include <QString>

#include "core/discovery/device_entry.h"

namespace tarnctl {

struct ProbeRequest {
    QHostAddress broadcast{QHostAddress::Broadcast};
    std::vector<std::uint32_t> addresses;  // Quick Connect: probe these addresses only
    quint16 devicePort = 2002;
    int waitMs = 1000;
    bool allInterfaces = false;
    bool everyDevice = false;  // also a reply whose MAC an earlier one had, from another address
};

// The devices that answered, in the order of their replies (each with the broadcast address that
// reaches it by MAC). Nothing, after a message, when the probe could not be sent.
std::optional<std::vector<tarn::DeviceEntry>> probeDevices(const ProbeRequest& request);

}  // namespace tarnctl
