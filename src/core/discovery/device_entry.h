// What the device tree keeps for one discovered device, and the texts by which other parts read it.
#pragma once

#include <string>

namespace tarn {

struct DeviceEntry {
    std::string name;                  // text 0, "Device"
    std::string ip;                    // text 1, "IP": the address the probe reply came from
    std::string mac;                   // text 2, "MAC": upper case, ':'-separated
    std::string productId;             // text 3: "%02d", e.g. "74"
    std::string version;               // text 4: "%d.%d"
    int addressingKind = 1;            // text 5: 1 for a DA-form reply, byte 10 of a DB-form reply
    bool foundByTypedAddress = false;  // text 6: "Q" or "N"
    // Not a text of the tree: where a MAC-addressed request to this device is broadcast. Empty for
    // the usual broadcast address; with "Probe every network interface", the directed broadcast of
    // the interface the device's reply came in on.
    std::string broadcastAddress;
    // Not a text of the tree: another address that answered the probe with this device's MAC. Then
    // nobody can tell which of the two is the device, and neither gets a request (or a credential)
    // until the operator names the address (Quick Connect, tarnctl --address). Empty when none.
    std::string conflictAddress;

    bool operator==(const DeviceEntry&) const = default;

    static constexpr int kTextCount = 7;
    // Text i (0..6) as the tree shows and stores it; empty for any other index.
    std::string text(int index) const;
};

}  // namespace tarn
