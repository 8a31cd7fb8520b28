// The management datagram socket on loopback: delivery order, no re-entry from nested event loops,
// oversized datagrams, and the local-subnet test.
#include <gtest/gtest.h>

#include <QNetworkDatagram>
#include <QThread>
#include <QUdpSocket>

#include "link/discovery/device_socket.h"
#include "link/discovery/local_subnet.h"
#include "support/received_datagrams.h"
#include "support/wait.h"

using namespace tarn;
using tarn::test::waitUntil;

// A handler runs a nested event loop (as a message box does) while more datagrams arrive. The loop
// runs until the socket has really read them, so the socket was notified while the handler was
// still running; the handler is not entered again for them, and they follow in order once it
// returns. The first handler takes longer than a slice, so the second runs from the event loop
// (where Qt signals readyRead in nested loops) rather than inside readyRead (where it does not).
TEST(DeviceSocket, HandlerRunningANestedLoopIsNotReentered) {
    test::ReceivedDatagrams received;
    CDeviceSocket receiver(100, ManagementChannel::Management);
    ASSERT_TRUE(receiver.create());
    QUdpSocket sender;
    std::vector<QByteArray> seen;
    int depth = 0, maxDepth = 0;
    QObject::connect(&receiver, &CDeviceSocket::socketReceive, [&](const Datagram& d) {
        maxDepth = std::max(maxDepth, ++depth);
        seen.push_back(d.data);
        EXPECT_EQ(d.senderAddress, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(d.senderPort, sender.localPort());
        if (seen.size() == 1) QThread::usleep(static_cast<unsigned long>(2 * CDeviceSocket::kSliceNs / 1000));
        if (seen.size() == 2) {
            sender.writeDatagram("third", QHostAddress::LocalHost, receiver.localPort());
            sender.writeDatagram("fourth", QHostAddress::LocalHost, receiver.localPort());
            EXPECT_TRUE(waitUntil([&] { return received.count() == 4; }));
            EXPECT_EQ(seen.size(), 2u);
        }
        --depth;
    });
    sender.writeDatagram("first", QHostAddress::LocalHost, receiver.localPort());
    sender.writeDatagram("second", QHostAddress::LocalHost, receiver.localPort());
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 4; }));
    EXPECT_EQ(seen, (std::vector<QByteArray>{"first", "second", "third", "fourth"}));
    EXPECT_EQ(maxDepth, 1);
}

TEST(DeviceSocket, DatagramsLargerThanTheBufferAreDropped) {
    CDeviceSocket receiver(100, ManagementChannel::Management);
    ASSERT_TRUE(receiver.create());
    std::vector<QByteArray> seen;
    QObject::connect(&receiver, &CDeviceSocket::socketReceive, [&](const Datagram& d) { seen.push_back(d.data); });
    QUdpSocket sender;
    sender.writeDatagram(QByteArray(101, 'x'), QHostAddress::LocalHost, receiver.localPort());
    sender.writeDatagram(QByteArray(100, 'y'), QHostAddress::LocalHost, receiver.localPort());
    ASSERT_TRUE(waitUntil([&] { return !seen.empty(); }));
    waitUntil([] { return false; }, 100);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], QByteArray(100, 'y'));
}

TEST(DeviceSocket, SendsToAnAddressOrToTheBroadcastAddress) {
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    CDeviceSocket socket(100, ManagementChannel::Management);
    ASSERT_TRUE(socket.create());
    EXPECT_EQ(socket.broadcastAddress(), QHostAddress(QHostAddress::Broadcast));
    EXPECT_TRUE(socket.sendTo("direct", listener.localPort(), QStringLiteral("127.0.0.1")));
    ASSERT_TRUE(waitUntil([&] { return listener.hasPendingDatagrams(); }));
    EXPECT_EQ(listener.receiveDatagram().data(), QByteArray("direct"));
    // With a loopback "broadcast" address configured, an address-less send goes there.
    socket.setBroadcastAddress(QHostAddress(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(socket.sendTo("everyone", listener.localPort()));
    ASSERT_TRUE(waitUntil([&] { return listener.hasPendingDatagrams(); }));
    EXPECT_EQ(listener.receiveDatagram().data(), QByteArray("everyone"));
    EXPECT_FALSE(socket.sendTo("nowhere", listener.localPort(), QStringLiteral("no-such-host.invalid")));
}

TEST(LocalSubnet, UsesTheInterfacesThatAreUp) {
    EXPECT_TRUE(IsOnLocalSubnet("127.0.0.5"));  // loopback, 127.0.0.1/8
    EXPECT_TRUE(IsOnLocalSubnet("127.200.1.1"));
    EXPECT_FALSE(IsOnLocalSubnet("not an address"));
    EXPECT_FALSE(IsOnLocalSubnet("1.2.3"));
}
