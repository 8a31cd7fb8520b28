// The discovery probe of `tarnctl probe` and `tarnctl fleet`: sent once (broadcast, on every
// interface), or to each typed address by unicast at a steady pace (ProbeSweep); replies collected
// until the wait after the last probe, each MAC once: a second address answering with a listed MAC
// marks the device as claimed by two (DeviceEntry::conflictAddress). A fleet keeps every device that
// answers instead, so that its selection sees both. A probe of typed addresses keeps only replies from
// them, and no probe keeps more than maxDevices devices (the replies past it are counted and told).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QHostAddress>
#include <QString>

#include "core/discovery/device_entry.h"
#include "core/discovery/device_limit.h"

namespace tarnctl {

struct ProbeRequest {
    QHostAddress broadcast{QHostAddress::Broadcast};
    std::vector<std::uint32_t> addresses;  // Quick Connect: probe these addresses only
    quint16 devicePort = 2002;
    int waitMs = 1000;
    bool allInterfaces = false;
    bool everyDevice = false;  // also a reply whose MAC an earlier one had, from another address
    int maxDevices = tarn::kDefaultMaxDevices;
    // The wait ends with the first device that answers and passes this test (none: the wait runs out).
    std::function<bool(const tarn::DeviceEntry&)> until;
};

// The devices that answered, in the order of their replies (each with the broadcast address that
// reaches it by MAC); nothing, after a message, when the probe could not be sent. Handed to `done`
// from the application's event loop once the wait is over (or inside the call when no socket opens).
using ProbeDone = std::function<void(std::optional<std::vector<tarn::DeviceEntry>>)>;
void probeDevices(const ProbeRequest& request, ProbeDone done);

}  // namespace tarnctl
