// tarnctl probe: discovery without the window. Sends the probe (broadcast, on every interface with
// --all-interfaces, or to one address as Quick Connect does), collects the replies for --wait
// milliseconds and prints the devices. Names are printed with their control characters escaped;
// a reply that cannot be read is told once per sender. No device answering exits 2.
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTextStream>
#include <QTimer>

#include "core/common/text.h"
#include "core/discovery/addressing.h"
#include "core/discovery/listed_macs.h"
#include "core/discovery/probe_reply.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/probe_sender.h"
#include "tarnctl/commands.h"
#include "tarnctl/probe.h"

namespace tarnctl {

namespace {

using tarn::latin1;

void printTable(const std::vector<tarn::DeviceEntry>& devices) {
    QTextStream out(stdout);
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
               .arg("DEVICE", -20)
               .arg("IP", -15)
               .arg("MAC", -17)
               .arg("PRODUCT", -7)
               .arg("VERSION", -7)
               .arg("KIND", -4)
               .arg("FOUND");
    for (const auto& d : devices) {
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                   .arg(latin1(tarn::escapeControlCharacters(d.name)), -20)
                   .arg(latin1(d.ip), -15)
                   .arg(latin1(d.mac), -17)
                   .arg(latin1(d.productId), -7)
                   .arg(latin1(d.version), -7)
                   .arg(d.addressingKind, -4)
                   .arg(d.foundByTypedAddress ? "Q" : "N");
    }
    out << devices.size() << (devices.size() == 1 ? " device\n" : " devices\n");
}

void printJson(const std::vector<tarn::DeviceEntry>& devices) {
    QJsonArray array;
    for (const auto& d : devices) {
        array.append(QJsonObject{{"name", latin1(d.name)},
                                 {"ip", latin1(d.ip)},
                                 {"mac", latin1(d.mac)},
                                 {"productId", latin1(d.productId)},
                                 {"version", latin1(d.version)},
                                 {"addressingKind", d.addressingKind},
                                 {"foundByTypedAddress", d.foundByTypedAddress}});
    }
    QTextStream(stdout) << QJsonDocument(array).toJson(QJsonDocument::Indented);
}

}  // namespace

std::optional<std::vector<tarn::DeviceEntry>> probeDevices(const ProbeRequest& request) {
    tarn::CDeviceSocket socket(tarn::kProbeReplyBufferSize, tarn::ManagementChannel::Discovery);
    if (!socket.create()) {
        usageError(QStringLiteral("cannot open a UDP socket"));
        return std::nullopt;
    }
    socket.setBroadcastAddress(request.broadcast);

    const bool quickConnect = !request.address.isEmpty();
    std::vector<tarn::DeviceEntry> devices;
    std::vector<tarn::NetworkInterfaceInfo> interfaces;
    tarn::ListedMacs listed;
    // Each sender whose reply could not be read is told once.
    QSet<QString> toldDropped;
    const auto dropped = [&](const QString& sender, const QString& why) {
        if (!toldDropped.contains(sender))
            QTextStream(stderr) << "tarnctl: dropped a reply from " << sender << ": " << why << '\n';
        toldDropped.insert(sender);
    };
    QObject::connect(&socket, &tarn::CDeviceSocket::datagramDropped, [&](const QString& sender, qint64 size) {
        dropped(sender, QStringLiteral("%1 bytes, more than a probe reply can hold").arg(size));
    });
    QObject::connect(&socket, &tarn::CDeviceSocket::socketReceive, [&](const tarn::Datagram& d) {
        const tarn::ByteView bytes = tarn::asBytes(d.data);
        const auto outcome =
            tarn::readProbeReply(bytes, d.senderAddress.toStdString(), quickConnect,
                                 [&](std::string_view mac) { return listed.contains(mac) && !request.everyDevice; });
        if (outcome.verdict == tarn::ProbeVerdict::TooLarge)
            dropped(d.senderAddress, QStringLiteral("%1 bytes, more than a probe reply can hold").arg(d.data.size()));
        if (outcome.verdict == tarn::ProbeVerdict::Truncated)
            dropped(d.senderAddress, QStringLiteral("the reply ends inside its fields or its name"));
        if (outcome.verdict != tarn::ProbeVerdict::Accepted) return;
        if (outcome.checksumError)
            QTextStream(stderr) << "Checksum Error! (" << latin1(tarn::escapeControlCharacters(outcome.entry.name))
                                << ", " << d.senderAddress << ")\n";
        listed.add(outcome.entry.mac);
        devices.push_back(outcome.entry);
        devices.back().broadcastAddress = tarn::replyBroadcastAddress(d, interfaces);
    });

    const tarn::ProbeSent sent =
        tarn::sendDiscoveryProbe(socket, request.devicePort, request.address, request.allInterfaces);
    if (!sent.sent) {
        usageError(QStringLiteral("the probe could not be sent"));
        return std::nullopt;
    }
    interfaces = sent.interfaces;
    QEventLoop loop;
    QTimer::singleShot(request.waitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return devices;
}

int runProbe(const QStringList& args) {
    QCommandLineParser p;
    p.addOption({"broadcast", "Broadcast address of the probe.", "address", "255.255.255.255"});
    p.addOption({"address", "Probe this one address only (Quick Connect).", "ip"});
    p.addOption({"device-port", "UDP port of the devices.", "port", "2002"});
    p.addOption({"wait", "How long to collect replies, in milliseconds.", "ms", "1000"});
    p.addOption({"all-interfaces", "Also probe the broadcast address of every network interface."});
    p.addOption({"json", "Print a JSON array."});
    if (!p.parse(QStringList{QStringLiteral("tarnctl probe")} + args)) return badOption(p);
    if (!p.positionalArguments().isEmpty())
        return usageError(QStringLiteral("probe takes no arguments: '%1'").arg(p.positionalArguments().join(' ')));

    bool ok = false;
    const uint port = p.value("device-port").toUInt(&ok);
    if (!ok || port == 0 || port > 65535) return usageError(QStringLiteral("--device-port must be 1..65535"));
    const int waitMs = p.value("wait").toInt(&ok);
    if (!ok || waitMs < 0 || waitMs > 600000) return usageError(QStringLiteral("--wait must be 0..600000 ms"));
    const auto broadcast = tarn::parseIPv4(p.value("broadcast").toStdString());
    if (!broadcast)
        return usageError(
            QStringLiteral("--broadcast must be a dotted IPv4 address, not '%1'").arg(p.value("broadcast")));
    const bool quickConnect = p.isSet("address");
    const auto typed = tarn::parseIPv4(p.value("address").toStdString());
    if (quickConnect && !typed)
        return usageError(QStringLiteral("--address must be a dotted IPv4 address, not '%1'").arg(p.value("address")));
    if (quickConnect && p.isSet("all-interfaces"))
        return usageError(QStringLiteral("--all-interfaces probes by broadcast, --address one address: not both"));

    ProbeRequest request;
    request.broadcast = QHostAddress(*broadcast);
    request.address = quickConnect ? QHostAddress(*typed).toString() : QString();
    request.devicePort = static_cast<quint16>(port);
    request.waitMs = waitMs;
    request.allInterfaces = p.isSet("all-interfaces");
    const auto devices = probeDevices(request);
    if (!devices) return kExitUsage;

    if (p.isSet("json"))
        printJson(*devices);
    else
        printTable(*devices);
    // As the fleet commands: nobody answering is a failure of the probe, not an empty success.
    if (devices->empty()) {
        QTextStream(stderr) << "tarnctl: no device answered the probe\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace tarnctl
