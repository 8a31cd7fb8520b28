#include "tarn-sim/sim_device.h"

#include <QTimer>

#include "core/discovery/probe_reply.h"
#include "link/common/qt_bytes.h"

namespace tarnsim {

SimDevice::SimDevice(SimDeviceConfig config, DatagramSink& sink, QObject* parent)
    : QObject(parent),
      config_(std::move(config)),
      name_(config_.name),
      address_(QHostAddress(config_.address).toIPv4Address()),
      sink_(sink) {}

void SimDevice::handleDatagram(const QByteArray& data, const QHostAddress& sender, quint16 senderPort) {
    const QByteArray probe = QByteArray::fromStdString(tarn::asText(tarn::discoveryProbe()));
    if (data == probe)
        answerProbe(sender, senderPort);
    else if (management_)
        answerManagement(data, sender, senderPort);
}

void SimDevice::answerManagement(const QByteArray& data, const QHostAddress& to, quint16 port) {
    const tarn::ByteView bytes = tarn::asBytes(data);
    ManagementAnswer answer = management_->answer(bytes);
    if (answer.datagrams.empty()) return;
    // New credentials count from the moment the reply that confirms them has left.
    auto send = [this, answer = std::move(answer), to, port] {
        if (!answer.forged.empty())
            sink_.sendFrom(config_.managementFaults.forgedFrom,
                           QByteArrayView(answer.forged.data(), static_cast<qsizetype>(answer.forged.size())), to,
                           port);
        for (const tarn::Bytes& d : answer.datagrams)
            sink_.sendFrom(address_, QByteArrayView(d.data(), static_cast<qsizetype>(d.size())), to, port);
        if (answer.credentials && management_) management_->adoptCredentials(*answer.credentials);
        restart(answer);
    };
    const int delay = config_.managementFaults.replyDelayMs;
    if (delay > 0)
        QTimer::singleShot(delay, this, send);
    else
        send();
}

void SimDevice::restart(const ManagementAnswer& answer) {
    if (answer.newName) name_ = *answer.newName;
    if (!answer.newAddress) return;
    const QHostAddress to(QString::fromStdString(*answer.newAddress));
    if (to.protocol() == QAbstractSocket::IPv4Protocol && to.toIPv4Address() != address_)
        emit moveAsked(to.toIPv4Address());
}

void SimDevice::answerProbe(const QHostAddress& to, quint16 port) {
    tarn::ProbeReplyContent content;
    content.macForm = config_.macForm;
    content.mac = config_.mac;
    content.addressingKind = static_cast<std::uint8_t>(config_.addressingKind);
    content.productId = static_cast<std::uint8_t>(config_.productId);
    content.major = static_cast<std::uint8_t>(config_.major);
    content.minor = static_cast<std::uint8_t>(config_.minor);
    content.name = name_;
    const ProbeFaults& f = config_.probeFaults;
    if (f.nameCutAt >= 0 && f.nameCutAt < static_cast<int>(content.name.size())) content.name[f.nameCutAt] = '\0';
    content.corruptChecksum = f.badChecksum;
    const QByteArray reply = QByteArray::fromStdString(tarn::asText(tarn::buildProbeReply(content)));
    const int copies = f.duplicateReply ? 2 : 1;
    auto send = [this, reply, to, port, copies] {
        for (int i = 0; i < copies; ++i) sink_.sendFrom(address_, reply, to, port);
    };
    if (f.replyDelayMs > 0)
        QTimer::singleShot(f.replyDelayMs, this, send);
    else
        send();
}

}  // namespace tarnsim
