#include "tarn-sim/fleet_config.h"

#include <algorithm>

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>

namespace tarnsim {

namespace {

bool parseVersion(const QString& text, int* major, int* minor) {
    const QStringList parts = text.split('.');
    if (parts.size() != 2) return false;
    bool ok1 = false, ok2 = false;
    *major = parts[0].toInt(&ok1);
    *minor = parts[1].toInt(&ok2);
    return ok1 && ok2 && *major >= 0 && *major <= 255 && *minor >= 0 && *minor <= 255;
}

std::optional<SimDeviceConfig> parseDevice(const QJsonObject& o, int index, QString* error) {
    const QString where = QStringLiteral("device %1").arg(index + 1);
    SimDeviceConfig d;
    d.raw = o;
    d.name = o.value("name").toString().toStdString();
    const auto mac = tarn::parseMacText(o.value("mac").toString().toStdString());
    if (!mac) {
        *error = where + ": \"mac\" must be six hexadecimal pairs separated by ':'";
        return std::nullopt;
    }
    d.mac = *mac;
    d.productId = o.value("productId").toInt(74);
    if (d.productId < 0 || d.productId > 255) {
        *error = where + ": \"productId\" must be 0..255";
        return std::nullopt;
    }
    if (!parseVersion(o.value("version").toString("1.0"), &d.major, &d.minor)) {
        *error = where + ": \"version\" must look like 1.2";
        return std::nullopt;
    }
    const QString form = o.value("form").toString("DA");
    if (form != "DA" && form != "DB") {
        *error = where + ": \"form\" must be \"DA\" or \"DB\"";
        return std::nullopt;
    }
    d.macForm = form == "DB";
    d.addressingKind = o.value("kind").toInt(2);
    d.address = o.value("address").toString();
    QHostAddress address;
    if (!address.setAddress(d.address) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        *error = where + ": \"address\" must be an IPv4 address such as 127.0.0.2";
        return std::nullopt;
    }
    const QJsonValue io = o.value("io");
    if (io.isBool()) d.io = io.toBool();
    const QJsonObject faults = o.value("faults").toObject();
    d.probeFaults.badChecksum = faults.value("badChecksum").toBool();
    d.probeFaults.duplicateReply = faults.value("duplicateReply").toBool();
    d.probeFaults.nameCutAt = faults.value("nameCutAt").toInt(-1);
    d.probeFaults.replyDelayMs = faults.value("replyDelayMs").toInt(0);
    d.managementFaults.badChecksum = faults.value("mgmtBadChecksum").toBool();
    d.managementFaults.lengthOverrun = faults.value("mgmtLengthOverrun").toBool();
    d.managementFaults.replyDelayMs = faults.value("mgmtReplyDelayMs").toInt(0);
    d.managementFaults.duplicateReplies = faults.value("mgmtDuplicateReplies").toBool();
    d.managementFaults.staleReply = faults.value("mgmtStaleReply").toBool();
    d.managementFaults.dropRequests = std::max(0, faults.value("mgmtDropRequests").toInt(0));
    d.managementFaults.refuseSets = std::max(0, faults.value("mgmtRefuseSets").toInt(0));
    d.managementFaults.requestBuffer = std::max(0, faults.value("mgmtRequestBuffer").toInt(0));
    if (faults.contains("mgmtForgedFrom")) {
        const QHostAddress forger(faults.value("mgmtForgedFrom").toString());
        if (forger.protocol() != QAbstractSocket::IPv4Protocol || !forger.isLoopback()) {
            *error = where + ": \"mgmtForgedFrom\" must be a loopback address";
            return std::nullopt;
        }
        d.managementFaults.forgedFrom = forger.toIPv4Address();
    }

    d.user = o.value("user").toString("admin").toStdString();
    d.password = o.value("password").toString("admin").toStdString();
    if (d.user.size() > tarn::kMaxCredentialLength || d.password.size() > tarn::kMaxCredentialLength) {
        *error = where + ": \"user\" and \"password\" hold at most 255 bytes";
        return std::nullopt;
    }
    const QJsonValue params = o.value("params");
    if (!params.isUndefined() && !params.isObject()) {
        *error = where + ": \"params\" must be an object of parameter names or ids and value texts";
        return std::nullopt;
    }
    const QJsonObject p = params.toObject();
    for (auto it = p.begin(); it != p.end(); ++it) {
        QString text;
        if (it.value().isString()) {
            text = it.value().toString();
        } else if (it.value().isDouble()) {
            text = QString::number(it.value().toDouble(), 'g', 17);
        } else {
            *error = where + ": parameter \"" + it.key() + "\" needs a text or a number";
            return std::nullopt;
        }
        d.params.emplace_back(it.key().toStdString(), text.toStdString());
    }
    return d;
}

// The devices an entry with "count" stands for, or an error when they would run out of addresses.
bool expand(const SimDeviceConfig& first, int count, int index, std::vector<SimDeviceConfig>& out, QString* error) {
    const quint32 address = QHostAddress(first.address).toIPv4Address();
    std::uint64_t mac = 0;
    for (std::uint8_t b : first.mac) mac = mac << 8 | b;
    if (static_cast<std::uint64_t>(address) + static_cast<std::uint64_t>(count - 1) > 0xFFFFFFFFu ||
        mac + static_cast<std::uint64_t>(count - 1) > 0xFFFFFFFFFFFFull) {
        *error = QStringLiteral("device %1: \"count\" runs past the last address or MAC").arg(index + 1);
        return false;
    }
    for (int k = 0; k < count; ++k) {
        SimDeviceConfig d = first;
        d.name = first.name + '-' + std::to_string(k + 1);
        d.address = QHostAddress(address + static_cast<quint32>(k)).toString();
        const std::uint64_t m = mac + static_cast<std::uint64_t>(k);
        for (int i = 0; i < 6; ++i) d.mac[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(m >> (8 * (5 - i)));
        out.push_back(std::move(d));
    }
    return true;
}

}  // namespace

std::optional<FleetConfig> parseFleet(const QByteArray& json, QString* error) {
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not valid JSON at offset %1: %2").arg(pe.offset).arg(pe.errorString());
        return std::nullopt;
    }
    const QJsonArray devices = doc.object().value("devices").toArray();
    if (devices.isEmpty()) {
        *error = QStringLiteral("the fleet has no \"devices\"");
        return std::nullopt;
    }
    FleetConfig fleet;
    for (int i = 0; i < devices.size(); ++i) {
        const QJsonObject entry = devices[i].toObject();
        auto d = parseDevice(entry, i, error);
        if (!d) return std::nullopt;
        if (!entry.contains("count")) {
            fleet.devices.push_back(std::move(*d));
            continue;
        }
        const int count = entry.value("count").toInt(0);
        if (count < 1 || count > kMaxEntryCount) {
            *error = QStringLiteral("device %1: \"count\" must be 1..%2").arg(i + 1).arg(kMaxEntryCount);
            return std::nullopt;
        }
        if (!expand(*d, count, i, fleet.devices, error)) return std::nullopt;
    }
    return fleet;
}

std::optional<FleetConfig> loadFleet(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + ": " + file.errorString();
        return std::nullopt;
    }
    // At most one byte past the limit is read, whatever the file is (a pipe tells no size).
    const QByteArray json = file.read(kMaxFleetFileSize + 1);
    if (json.size() > kMaxFleetFileSize) {
        *error = path + QStringLiteral(
                            ": the fleet file is larger than %1 MiB; a larger fleet takes \"count\" "
                            "entries (see \"Large fleets\" in simulator.md)")
                            .arg(kMaxFleetFileSize >> 20);
        return std::nullopt;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = path + ": " + file.errorString();
        return std::nullopt;
    }
    auto fleet = parseFleet(json, error);
    if (!fleet) *error = path + ": " + *error;
    return fleet;
}

}  // namespace tarnsim
