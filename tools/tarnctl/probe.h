// The discovery probe of `tarnctl probe` and `tarnctl fleet`: sent once (broadcast, on every
// interface), or to each typed address by unicast at a steady pace (ProbeSweep); replies collected
// until the wait after the last probe, each MAC once (a fleet keeps every device that answers, so
// that two devices with one MAC are seen).
#pragma once

#include <cstdint>
#include <functional>
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
    // The wait ends with the first device that answers and passes this test (none: the wait runs out).
    std::function<bool(const tarn::DeviceEntry&)> until;
};

// The devices that answered, in the order of their replies (each with the broadcast address that
// reaches it by MAC); nothing, after a message, when the probe could not be sent. Handed to `done`
// from the application's event loop once the wait is over (or inside the call when no socket opens).
using ProbeDone = std::function<void(std::optional<std::vector<tarn::DeviceEntry>>)>;
void probeDevices(const ProbeRequest& request, ProbeDone done);

}  // namespace tarnctl
