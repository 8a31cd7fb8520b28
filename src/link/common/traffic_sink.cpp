#include "link/common/traffic_sink.h"

#include <QDateTime>

namespace tarn {

namespace {
TrafficSink* installed = nullptr;
}

TrafficSink* setTrafficSink(TrafficSink* sink) {
    TrafficSink* previous = installed;
    installed = sink;
    return previous;
}

TrafficSink* trafficSink() { return installed; }

std::int64_t trafficNowMs() { return QDateTime::currentMSecsSinceEpoch(); }

std::string trafficPeer(const QHostAddress& address, quint16 port) {
    bool ok = false;
    const QHostAddress v4(address.toIPv4Address(&ok));
    return (ok ? v4.toString() : address.toString()).toStdString() + ':' + std::to_string(port);
}

}  // namespace tarn
