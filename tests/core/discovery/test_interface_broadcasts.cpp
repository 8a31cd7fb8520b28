// Where the probe goes with "Probe every network interface", and on which interface a device that
// answered is reached again, over lists of interfaces as the system reports them.
#include <gtest/gtest.h>

#include "core/discovery/interface_broadcasts.h"

using namespace tarn;

namespace {

std::uint32_t ip(const char* text) { return *parseIPv4(text); }

NetworkInterfaceInfo iface(int index, std::vector<std::pair<const char*, const char*>> addresses, bool up = true,
                           bool loopback = false, bool canBroadcast = true) {
    NetworkInterfaceInfo i;
    i.index = index;
    i.name = "if" + std::to_string(index);
    i.up = up;
    i.loopback = loopback;
    i.canBroadcast = canBroadcast;
    for (const auto& [address, mask] : addresses) i.ipv4.push_back({ip(address), ip(mask)});
    return i;
}

std::vector<std::string> texts(const std::vector<std::uint32_t>& addresses) {
    std::vector<std::string> out;
    for (std::uint32_t a : addresses) out.push_back(formatIPv4(a));
    return out;
}

// A machine with an office LAN, a machine network with two subnets, loopback, a link that is down,
// a point-to-point tunnel that cannot broadcast, a /32 and a /31 address, and a second LAN card in
// the office subnet.
const std::vector<NetworkInterfaceInfo> kHost = {
    iface(1, {{"127.0.0.1", "255.0.0.0"}}, true, true),
    iface(2, {{"192.168.1.20", "255.255.255.0"}}),
    iface(3, {{"10.231.3.1", "255.255.255.0"}, {"172.16.0.1", "255.255.0.0"}}),
    iface(4, {{"10.9.9.1", "255.255.255.0"}}, false),
    iface(5, {{"10.8.0.2", "255.255.255.0"}}, true, false, false),
    iface(6, {{"10.7.0.1", "255.255.255.255"}, {"10.6.0.1", "255.255.255.254"}}),
    iface(7, {{"192.168.1.21", "255.255.255.0"}}),
    iface(8, {}),
};

}  // namespace

TEST(InterfaceBroadcasts, EveryQualifyingInterfaceOnceInOrder) {
    EXPECT_EQ(texts(directedBroadcasts(kHost)),
              (std::vector<std::string>{"192.168.1.255", "10.231.3.255", "172.16.255.255"}));
    EXPECT_TRUE(directedBroadcasts({}).empty());

    // The broadcast address always leads; the option adds the others, never a repeat of it.
    EXPECT_EQ(texts(probeDestinations(ip("255.255.255.255"), false, kHost)),
              (std::vector<std::string>{"255.255.255.255"}));
    EXPECT_EQ(texts(probeDestinations(ip("192.168.1.255"), true, kHost)),
              (std::vector<std::string>{"192.168.1.255", "10.231.3.255", "172.16.255.255"}));
    EXPECT_EQ(texts(probeDestinations(ip("255.255.255.255"), true, kHost)),
              (std::vector<std::string>{"255.255.255.255", "192.168.1.255", "10.231.3.255", "172.16.255.255"}));
}

TEST(InterfaceBroadcasts, ADeviceIsReachedOnTheInterfaceItsReplyCameIn) {
    const auto on = [](int index, const char* sender) {
        const auto b = replyInterfaceBroadcast(index, sender ? ip(sender) : 0, kHost);
        return b ? formatIPv4(*b) : std::string("none");
    };
    EXPECT_EQ(on(3, "10.231.3.2"), "10.231.3.255");
    EXPECT_EQ(on(3, "172.16.4.4"), "172.16.255.255");  // the interface's address that holds it
    EXPECT_EQ(on(3, "0.0.0.0"), "10.231.3.255");       // a device without an address yet
    EXPECT_EQ(on(7, "192.168.1.50"), "192.168.1.255");
    // Without an interface index the sender's subnet decides; an unknown or unfit index likewise.
    EXPECT_EQ(on(0, "10.231.3.2"), "10.231.3.255");
    EXPECT_EQ(on(42, "192.168.1.7"), "192.168.1.255");
    EXPECT_EQ(on(5, "10.8.0.9"), "none");   // cannot broadcast
    EXPECT_EQ(on(4, "10.9.9.2"), "none");   // down
    EXPECT_EQ(on(1, "127.0.0.5"), "none");  // loopback
    EXPECT_EQ(on(6, "10.7.0.1"), "none");   // host routes have no broadcast address
    EXPECT_EQ(on(0, "8.8.8.8"), "none");    // routed from elsewhere: the usual broadcast
}
