// tarn-sim at scale: a fleet of 110,000 devices, 10,000 of them with their I/O side, runs inside an
// open-file limit of 1024 (also for root), answers one broadcast probe from every device's own
// address, a unicast request from the one device it was sent to, and hands each I/O connection to
// the device whose address it was made to, though they all share one port.
#include <algorithm>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <tuple>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>

#include "core/discovery/management_message.h"
#include "core/discovery/probe_reply.h"
#include "core/iolink/io_commands.h"
#include "core/iolink/io_frame.h"
#include "core/params/parameter_entry.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"
#include "tarn-sim/sim_fleet.h"

using namespace tarn;
using namespace tarn::test;

namespace {

constexpr quint32 ip(int a, int b, int c, int d) { return quint32(a) << 24 | quint32(b) << 16 | quint32(c) << 8 | d; }

// The fleet: entries of `count` devices named "<name>-1".. on consecutive addresses.
struct Range {
    const char* name;
    quint32 first;
    int count;
    int productId;
    bool io;
};
const Range kRanges[] = {
    {"Io", ip(127, 10, 0, 1), 10000, 74, true},
    {"Big", ip(127, 20, 0, 1), 50000, 75, false},
    {"Wide", ip(127, 21, 0, 1), 50000, 76, false},
};
constexpr int kDevices = 110000;
constexpr quint32 kNobody = ip(127, 30, 0, 1);  // no device has this address

QString fleetFile() {
    QString json = "{\"devices\": [";
    for (const Range& r : kRanges) {
        json += QStringLiteral(R"({"name": "%1", "mac": "02:%2:00:00:00:00", "productId": %3, "version": "1.1", )"
                               R"("address": "%4", "count": %5, "io": %6},)")
                    .arg(QLatin1String(r.name))
                    .arg(r.first >> 16 & 0xFF, 2, 16, QChar('0'))
                    .arg(r.productId)
                    .arg(QHostAddress(r.first).toString())
                    .arg(r.count)
                    .arg(QLatin1String(r.io ? "{}" : "false"));
    }
    json.chop(1);
    json += "]}";
    const QString path = scratchDir() + "/fleet-110000.json";
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(json.toUtf8());
    return path;
}

// Which device of the fleet has `address` (its index across the ranges) and its name.
std::optional<std::pair<int, std::string>> deviceAt(quint32 address) {
    int before = 0;
    for (const Range& r : kRanges) {
        if (address >= r.first && address < r.first + quint32(r.count)) {
            const int k = int(address - r.first);
            return std::pair(before + k, std::string(r.name) + '-' + std::to_string(k + 1));
        }
        before += r.count;
    }
    return std::nullopt;
}

struct Datagram {
    quint32 sender = 0;
    quint16 port = 0;
    Bytes bytes;
};

// A UDP socket on 127.0.0.1 that may broadcast, with a receive buffer for the replies of a whole
// fleet (as root the whole 64 MiB, else what net.core.rmem_max allows).
class UdpClient {
public:
    UdpClient() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1, buffer = 64 << 20;
        ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        const sockaddr_in local = address(ip(127, 0, 0, 1), 0);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
    }
    ~UdpClient() { ::close(fd_); }

    void send(quint32 to, int port, const Bytes& bytes) {
        const sockaddr_in a = address(to, quint16(port));
        EXPECT_EQ(::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a),
                  ssize_t(bytes.size()));
    }
    // The next datagram, or nothing when none arrives within `timeoutMs`.
    std::optional<Datagram> receive(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return std::nullopt;
        Datagram d;
        d.bytes.resize(2048);
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const ssize_t n = ::recvfrom(fd_, d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), &size);
        if (n < 0) return std::nullopt;
        d.bytes.resize(std::size_t(n));
        d.sender = ntohl(from.sin_addr.s_addr);
        d.port = ntohs(from.sin_port);
        return d;
    }

private:
    static sockaddr_in address(quint32 ip, quint16 port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(ip);
        a.sin_port = htons(port);
        return a;
    }
    int fd_ = -1;
};

// A get of the "Device name" record (1.1.1), which every product of the fleet has.
Bytes nameRequest(std::uint16_t requestId) {
    Bytes body;
    appendValueEntry(body, "1.1.1", {}, ByteOrder::Big);
    return buildRequest({false, {}, "admin", "admin"}, CommandCode::GetValues, body, ByteOrder::Big, requestId)
        .value()
        .bytes;
}

// The payload of the reply to one I/O request.
std::string exchange(QTcpSocket& socket, const IoRequest& request) {
    socket.write(QByteArray::fromStdString(buildIoFrame(request.payload).value()));
    QByteArray reply;
    for (QDeadlineTimer deadline(5000); !reply.endsWith("\r\n") && !deadline.hasExpired();) {
        if (socket.bytesAvailable() == 0) socket.waitForReadyRead(int(deadline.remainingTime()));
        reply += socket.readAll();
    }
    const std::string frame = reply.toStdString();
    EXPECT_TRUE(checkIoFrame(frame)) << frame;
    return std::string(ioFramePayload(frame));
}

int openFiles(const QString& pid) { return int(QDir("/proc/" + pid + "/fd").entryList(QDir::NoDotAndDotDot).size()); }

TEST(SimAtScale, AHundredAndTenThousandDevicesRunInAThousandFilesAndAnswerFromTheirOwnAddresses) {
    // The shell lowers both limits, also root's, before it becomes the simulator.
    SimProcess sim;
    ASSERT_TRUE(sim.start({"-c", "ulimit -n 1024 || exit 3; echo pid $$; exec \"$0\" \"$@\"", simPath(), "--fleet",
                           fleetFile(), "--device-port", "0", "--data-dir", dataDir(), "--fixed-clock"},
                          60000, "/bin/sh"))
        << sim.output().right(2000).toStdString();
    const int port = sim.devicePort();
    ASSERT_GT(port, 0);
    ASSERT_TRUE(sim.lines().value(0).startsWith("pid ")) << sim.lines().value(0).toStdString();
    const QString pid = sim.lines().value(0).mid(4);
    QFile limits("/proc/" + pid + "/limits");
    ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromLatin1(limits.readAll()).contains(QRegularExpression("Max open files +1024 +1024 ")));
    EXPECT_LT(openFiles(pid), 32);

    int deviceLines = 0;
    std::set<QString> ioPorts;
    std::set<QString> ioAddresses;
    for (const QString& line : sim.lines()) {
        if (line.startsWith("device ")) ++deviceLines;
        if (!line.startsWith("io ")) continue;
        const QString endpoint = line.split(' ').value(1);
        ioAddresses.insert(endpoint.section(':', 0, 0));
        ioPorts.insert(endpoint.section(':', 1));
    }
    EXPECT_EQ(deviceLines, kDevices);
    EXPECT_EQ(ioAddresses.size(), 10000u);
    ASSERT_EQ(ioPorts.size(), 1u);  // the devices let the system choose: one port for all
    const quint16 ioPort = quint16(ioPorts.begin()->toUInt());

    // A unicast request reaches exactly the device it was sent to, and the reply comes from there;
    // a datagram to an address no device has is not answered. Loopback keeps the order, so an
    // answer to the first would arrive first.
    UdpClient client;
    client.send(kNobody, port, discoveryProbe());
    const quint32 big = ip(127, 20, 16, 226);  // Big-4322
    const quint32 io = ip(127, 10, 39, 16);    // Io-10000
    client.send(big, port, nameRequest(0x4321));
    client.send(io, port, nameRequest(0x0777));
    for (const auto& [from, requestId, name] :
         {std::tuple(big, std::uint16_t(0x4321), "Big-4322"), std::tuple(io, std::uint16_t(0x0777), "Io-10000")}) {
        const std::optional<Datagram> d = client.receive(5000);
        ASSERT_TRUE(d) << name;
        EXPECT_EQ(QHostAddress(d->sender).toString().toStdString(), QHostAddress(from).toString().toStdString());
        EXPECT_EQ(d->port, port);
        const std::optional<ReplyHeader> reply = parseReplyHeader(d->bytes, ByteOrder::Big);
        ASSERT_TRUE(reply && reply->complete);
        EXPECT_EQ(reply->code, 0xA2);
        EXPECT_EQ(reply->requestId, (RequestIdBytes{std::uint8_t(requestId >> 8), std::uint8_t(requestId)}));
        const ValueEntries values = readValueEntries(reply->body, ByteOrder::Big);
        ASSERT_EQ(values.entries.size(), 1u);
        EXPECT_STREQ(asText(values.entries[0].value).c_str(), name);
    }

    // One broadcast probe: every device answers once, from its own address, with its own name.
    client.send(ip(127, 255, 255, 255), port, discoveryProbe());
    std::vector<int> answers(kDevices);
    int distinct = 0, strays = 0, wrong = 0;
    std::string firstWrong;
    auto take = [&](const Datagram& d) {
        const auto device = deviceAt(d.sender);
        if (!device || d.port != port) return void(++strays);
        if (answers[std::size_t(device->first)]++ == 0) ++distinct;
        const ProbeOutcome outcome = readProbeReply(d.bytes, QHostAddress(d.sender).toString().toStdString(), false,
                                                    [](std::string_view) { return false; });
        if (outcome.verdict != ProbeVerdict::Accepted || outcome.checksumError ||
            outcome.entry.name != device->second) {
            if (wrong++ == 0) firstWrong = device->second + " answered as \"" + outcome.entry.name + "\"";
        }
    };
    for (QDeadlineTimer deadline(90000); distinct < kDevices && !deadline.hasExpired();)
        if (const auto d = client.receive(int(std::max<qint64>(deadline.remainingTime(), 1)))) take(*d);
    while (const auto d = client.receive(300)) take(*d);  // anything more would be a second answer
    EXPECT_EQ(distinct, kDevices);
    EXPECT_EQ(std::count_if(answers.begin(), answers.end(), [](int n) { return n > 1; }), 0);
    EXPECT_EQ(strays, 0);
    EXPECT_EQ(wrong, 0) << firstWrong;

    // Two I/O connections on the one port, to two device addresses, each reach their own device: an
    // output switched on through the first shows in its status only (--fixed-clock: the ports stand still).
    QTcpSocket first, second, stranger;
    first.connectToHost(QHostAddress(ip(127, 10, 0, 5)), ioPort);
    second.connectToHost(QHostAddress(io), ioPort);
    ASSERT_TRUE(first.waitForConnected(5000)) << first.errorString().toStdString();
    ASSERT_TRUE(second.waitForConnected(5000)) << second.errorString().toStdString();
    const std::string before = exchange(first, IoRequests::ReadStatus());
    ASSERT_EQ(exchange(second, IoRequests::ReadStatus()), before);
    exchange(first, IoRequests::SwitchOutput(3, 0));
    EXPECT_NE(exchange(first, IoRequests::ReadStatus()), before);
    EXPECT_EQ(exchange(second, IoRequests::ReadStatus()), before);

    // A connection to a device without an I/O side is closed at once.
    stranger.connectToHost(QHostAddress(big), ioPort);
    if (stranger.waitForConnected(5000)) stranger.waitForDisconnected(5000);
    EXPECT_EQ(stranger.state(), QAbstractSocket::UnconnectedState);
    EXPECT_LT(openFiles(pid), 32);
}

// Devices that share an address: a datagram sent there reaches each of them, and each device's I/O
// side gets a listener of its own for that address (the others share one port).
TEST(SimAtScale, DevicesThatShareAnAddressEachAnswerAndEachKeepTheirIoSide) {
    QString error;
    auto config = tarnsim::parseFleet(R"({"devices": [
        {"name": "Twin-A", "mac": "02:00:00:00:01:61", "address": "127.0.0.161"},
        {"name": "Twin-B", "mac": "02:00:00:00:01:62", "address": "127.0.0.161"},
        {"name": "Single", "mac": "02:00:00:00:01:63", "address": "127.0.0.162"}]})",
                                      &error);
    ASSERT_TRUE(config) << error.toStdString();
    tarnsim::SimFleet fleet(std::move(*config));
    ASSERT_TRUE(fleet.start(0, QHostAddress("127.255.255.255"), &error)) << error.toStdString();
    const auto& io = fleet.ioDevices();
    ASSERT_EQ(io.size(), 3u);
    EXPECT_EQ(io[0]->port(), io[2]->port());
    EXPECT_NE(io[0]->port(), io[1]->port());

    UdpClient client;
    client.send(ip(127, 0, 0, 161), fleet.devicePort(), discoveryProbe());
    std::multiset<std::string> names;
    ASSERT_TRUE(waitUntil([&] {
        if (const auto d = client.receive(0)) {
            EXPECT_EQ(QHostAddress(d->sender).toString().toStdString(), "127.0.0.161");
            names.insert(
                readProbeReply(d->bytes, "127.0.0.161", false, [](std::string_view) { return false; }).entry.name);
        }
        return names.size() == 2;
    }));
    EXPECT_EQ(names, (std::multiset<std::string>{"Twin-A", "Twin-B"}));

    QTcpSocket socket;
    socket.connectToHost(QHostAddress("127.0.0.161"), io[1]->port());
    ASSERT_TRUE(waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
    socket.write(QByteArray::fromStdString(buildIoFrame(IoRequests::SwitchOutput(3, 0).payload).value()));
    ASSERT_TRUE(waitUntil([&] { return io[1]->model().state().outputOn[2]; }));
    EXPECT_FALSE(io[0]->model().state().outputOn[2]);
}

}  // namespace
