// The management datagram socket on loopback: delivery order, no re-entry from nested event loops,
// oversized datagrams, and the local-subnet test.
#include <QEventLoop>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include "link/discovery/device_socket.h"
#include "link/discovery/local_subnet.h"
#include "support/wait.h"

using namespace tarn;
using tarn::test::waitUntil;

TEST(DeviceSocket, HandlerRunningANestedLoopIsNotReentered) {
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
        if (seen.size() == 1) {
            // What a message box does: run the event loop while more datagrams arrive.
            sender.writeDatagram("second", QHostAddress::LocalHost, receiver.localPort());
            sender.writeDatagram("third", QHostAddress::LocalHost, receiver.localPort());
            QEventLoop nested;
            QTimer::singleShot(150, &nested, &QEventLoop::quit);
            nested.exec();
            EXPECT_EQ(seen.size(), 1u);
        }
        --depth;
    });
    sender.writeDatagram("first", QHostAddress::LocalHost, receiver.localPort());
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen, (std::vector<QByteArray>{"first", "second", "third"}));
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
