// tarnctl probe: discovery without the window. Sends the probe (broadcast, on every interface with
// --all-interfaces, or to the addresses, ranges and blocks of --address as Quick Connect does),
// collects the replies for --wait milliseconds after the last probe and prints the devices. Names
// are printed with their control characters escaped; a reply that cannot be read is told once per
// sender. No device answering exits 2.
#include <unistd.h>
#include <utility>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTextStream>
#include <QTimer>

#include "core/common/text.h"
#include "core/discovery/address_list.h"
#include "core/discovery/addressing.h"
#include "core/discovery/listed_macs.h"
#include "core/discovery/probe_reply.h"
#include "core/fleet/fleet_index.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/probe_sender.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/json_output.h"
#include "tarnctl/options.h"
#include "tarnctl/probe.h"
#include "tarnctl/usage.h"

namespace tarnctl {

namespace {

using tarn::latin1;

// The product by its name, as the window's list and the JSON show it (the id where prodid.ini has none).
void printTable(const std::vector<tarn::DeviceEntry>& devices, const tarn::ProductNames& names) {
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
                   .arg(latin1(tarn::escapeControlCharacters(tarn::productText(d, names))), -7)
                   .arg(latin1(d.version), -7)
                   .arg(d.addressingKind, -4)
                   .arg(QLatin1String(d.foundByTypedAddress ? "Q" : "N"))
            << (d.conflictAddress.empty() ? QString()
                                          : QStringLiteral("  conflict: %1 and %2 answer with this MAC")
                                                .arg(latin1(d.ip), latin1(d.conflictAddress)));
    }
    out << devices.size() << (devices.size() == 1 ? " device\n" : " devices\n");
}

// {"schema": 2, "devices": [ one line per device ]}, written one device at a time: the output of a
// fleet of 100,000 is never held whole in memory.
void printJson(const std::vector<tarn::DeviceEntry>& devices, const tarn::ProductNames& names) {
    QTextStream out(stdout);
    out << QStringLiteral("{\"schema\": %1, \"devices\": [").arg(tarn::kJsonSchema);
    bool first = true;
    for (const auto& d : devices) {
        QJsonObject device = deviceJson(d, names);
        device.insert("addressingKind", d.addressingKind);
        device.insert("foundByTypedAddress", d.foundByTypedAddress);
        if (!d.conflictAddress.empty()) device.insert("conflictAddress", latin1(d.conflictAddress));
        out << (first ? "\n    " : ",\n    ") << QJsonDocument(device).toJson(QJsonDocument::Compact);
        first = false;
    }
    out << (first ? "]}\n" : "\n]}\n");
}

}  // namespace

namespace {

// One probe, from the sending to the end of the wait, on the application's event loop.
class ProbeRun : public QObject {
public:
    ProbeRun(const ProbeRequest& request, ProbeDone done)
        : request_(request),
          done_(std::move(done)),
          socket_(tarn::kProbeReplyBufferSize, tarn::ManagementChannel::Discovery),
          sweep_(request.addresses),
          limit_(request.maxDevices),
          progressShown_(request.addresses.size() > kProgressAbove && isatty(STDERR_FILENO) == 1) {}

    static constexpr std::size_t kProgressAbove = 256;

    void start() {
        if (!socket_.create()) {
            usageError(QStringLiteral("cannot open a UDP socket"));
            end(false);
            return;
        }
        socket_.setBroadcastAddress(request_.broadcast);
        connect(&socket_, &tarn::CDeviceSocket::datagramDropped, this, [this](const QString& sender, qint64 size) {
            dropped(sender, QStringLiteral("%1 bytes, more than a probe reply can hold").arg(size));
        });
        connect(&socket_, &tarn::CDeviceSocket::socketReceive, this, &ProbeRun::received);
        wait_.setSingleShot(true);
        connect(&wait_, &QTimer::timeout, this, [this] { end(true); });
        if (request_.addresses.empty()) {
            const tarn::ProbeSent probe =
                tarn::sendDiscoveryProbe(socket_, request_.devicePort, {}, request_.allInterfaces);
            sent_ = probe.sent;
            interfaces_ = probe.interfaces;
            if (sent_)
                wait_.start(request_.waitMs);
            else
                end(false);
            return;
        }
        // Quick Connect: one batch of addresses after another at a steady pace; the wait starts after
        // the last.
        connect(&pace_, &QTimer::timeout, this, [this] {
            for (std::uint32_t to : sweep_.nextBatch())
                sent_ =
                    tarn::sendDiscoveryProbe(socket_, request_.devicePort, QHostAddress(to).toString(), false).sent ||
                    sent_;
            showProgress();
            if (!sweep_.done()) return;
            pace_.stop();
            if (sent_)
                wait_.start(request_.waitMs);
            else
                end(false);
        });
        pace_.start(tarn::ProbeSweep::kIntervalMs);
    }

private:
    // More than kProgressAbove addresses take seconds: a person watching a terminal is told how far
    // the probe is, on one line that is rewritten a few times a second and ended when all are sent.
    // Nothing goes to a file or a pipe.
    void showProgress() {
        if (!progressShown_ || (!sweep_.done() && progressClock_.isValid() && progressClock_.elapsed() < 200)) return;
        progressClock_.start();
        std::fprintf(stderr, "\r%s%s", sweep_.progressText().c_str(), sweep_.done() ? "\n" : "");
        std::fflush(stderr);
    }

    // Each sender whose reply could not be read is told once.
    void dropped(const QString& sender, const QString& why) {
        if (!toldDropped_.contains(sender))
            QTextStream(stderr) << "tarnctl: dropped a reply from " << sender << ": " << why << '\n';
        toldDropped_.insert(sender);
    }

    void received(const tarn::Datagram& d) {
        const tarn::ByteView bytes = tarn::asBytes(d.data);
        const std::string sender = d.senderAddress.toStdString();
        // Quick Connect asked these addresses only: a reply from any other answers nothing.
        if (!request_.addresses.empty() && !sweep_.probes(tarn::parseIPv4(sender).value_or(0))) return;
        std::optional<int> listed;
        const auto outcome =
            tarn::readProbeReply(bytes, sender, !request_.addresses.empty(), [&](std::string_view mac) {
                listed = listed_.find(mac);
                return listed && !request_.everyDevice;
            });
        if (outcome.verdict == tarn::ProbeVerdict::Duplicate) {
            tarn::DeviceEntry& device = devices_[static_cast<std::size_t>(*listed)];
            if (device.ip != sender && device.conflictAddress.empty()) device.conflictAddress = sender;
            return;
        }
        if (outcome.verdict == tarn::ProbeVerdict::TooLarge)
            dropped(d.senderAddress, QStringLiteral("%1 bytes, more than a probe reply can hold").arg(d.data.size()));
        if (outcome.verdict == tarn::ProbeVerdict::Truncated)
            dropped(d.senderAddress, QStringLiteral("the reply ends inside its fields or its name"));
        if (outcome.verdict != tarn::ProbeVerdict::Accepted) return;
        if (!limit_.admits(devices_.size())) return;
        if (outcome.checksumError)
            QTextStream(stderr) << "Checksum Error! (" << latin1(tarn::escapeControlCharacters(outcome.entry.name))
                                << ", " << d.senderAddress << ")\n";
        if (!listed) listed_.add(outcome.entry.mac, static_cast<int>(devices_.size()));
        devices_.push_back(outcome.entry);
        devices_.back().broadcastAddress = tarn::replyBroadcastAddress(d, interfaces_);
        if (request_.until && request_.until(devices_.back())) end(true);
    }

    // Hands the devices over once, and goes (the socket with it) when the event loop is back.
    void end(bool sent) {
        if (!done_) return;
        wait_.stop();
        pace_.stop();
        socket_.disconnect(this);
        if (!sent) usageError(QStringLiteral("the probe could not be sent"));
        if (limit_.ignored() > 0) usageError(QString::fromStdString(limit_.message()));
        deleteLater();
        std::exchange(done_, nullptr)(sent ? std::optional(std::move(devices_)) : std::nullopt);
    }

    ProbeRequest request_;
    ProbeDone done_;
    tarn::CDeviceSocket socket_;
    tarn::ProbeSweep sweep_;
    tarn::DeviceLimit limit_;
    QTimer wait_;
    QTimer pace_;
    bool sent_ = false;
    const bool progressShown_;
    QElapsedTimer progressClock_;
    std::vector<tarn::DeviceEntry> devices_;
    std::vector<tarn::NetworkInterfaceInfo> interfaces_;
    tarn::ListedMacs listed_;
    QSet<QString> toldDropped_;
};

}  // namespace

void probeDevices(const ProbeRequest& request, ProbeDone done) { (new ProbeRun(request, std::move(done)))->start(); }

int runProbe(const QStringList& args) {
    QCommandLineParser p;
    p.addOptions(usage(QStringLiteral("probe")).options);
    if (!p.parse(QStringList{QStringLiteral("tarnctl probe")} + args)) return badOption(p);
    if (!p.positionalArguments().isEmpty())
        return usageError(QStringLiteral("probe takes no arguments: '%1'").arg(p.positionalArguments().join(' ')));

    ProbeRequest request;
    if (!readDiscoveryOptions(p, request)) return kExitUsage;
    const bool quickConnect = p.isSet("address");
    const tarn::AddressList typed = tarn::parseAddressList(p.values("address").join(',').toStdString());
    if (quickConnect && !typed.ok())
        return usageError(QStringLiteral("--address: %1").arg(QString::fromStdString(typed.error)));
    if (quickConnect && p.isSet("all-interfaces"))
        return usageError(QStringLiteral("--all-interfaces probes by broadcast, --address one address: not both"));

    if (quickConnect) request.addresses = typed.addresses;
    const bool json = p.isSet("json");
    DeviceOptions shared;
    if (!readDataDir(p, shared)) return kExitUsage;
    const tarn::ProductNames names = productNames(shared.dataDir);
    return runLoop([request, json, names] {
        probeDevices(request, [json, names](std::optional<std::vector<tarn::DeviceEntry>> devices) {
            if (!devices) return endLoop(kExitUsage);
            if (json)
                printJson(*devices, names);
            else
                printTable(*devices, names);
            // As the fleet commands: nobody answering is a failure of the probe, not an empty success.
            if (devices->empty()) {
                QTextStream(stderr) << "tarnctl: no device answered the probe\n";
                return endLoop(kExitUsage);
            }
            endLoop(kExitOk);
        });
    });
}

}  // namespace tarnctl
