// Where the traffic log goes. The sockets and the I/O link record what they send and receive into
// one process-wide sink, as Qt's message handler is one per process: the Traffic window installs
// itself, `tarnctl --trace` installs a printer on standard error. Without a sink, recording costs
// one test per datagram or frame. Sockets and links record on the thread they live on; a sink is
// installed, and called, on the main thread only.
#pragma once

#include <QHostAddress>
#include <QString>

#include "core/common/traffic_log.h"

namespace tarn {

class TrafficSink {
public:
    virtual ~TrafficSink() = default;
    virtual void record(TrafficEntry entry) = 0;
};

// Installs the sink (null: none) and returns the one it replaces.
TrafficSink* setTrafficSink(TrafficSink* sink);
TrafficSink* trafficSink();

// Milliseconds since the epoch, the time of a new entry.
std::int64_t trafficNowMs();
// "a.b.c.d:port" (IPv4 addresses without the "::ffff:" prefix).
std::string trafficPeer(const QHostAddress& address, quint16 port);

}  // namespace tarn
