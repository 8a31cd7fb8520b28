// Counts what the program's sockets read, through the traffic log: a test can wait until a socket
// has really read a datagram (not just until the datagram was sent) before it looks at what the
// owner was handed. Installed for the lifetime of the object.
#pragma once

#include "link/common/traffic_sink.h"

namespace tarn::test {

class ReceivedDatagrams : public TrafficSink {
public:
    ReceivedDatagrams() : previous_(setTrafficSink(this)) {}
    ~ReceivedDatagrams() override { setTrafficSink(previous_); }
    ReceivedDatagrams(const ReceivedDatagrams&) = delete;
    ReceivedDatagrams& operator=(const ReceivedDatagrams&) = delete;

    void record(TrafficEntry entry) override {
        if (entry.direction == TrafficDirection::Received) ++count_;
    }
    int count() const { return count_; }

private:
    TrafficSink* previous_;
    int count_ = 0;
};

}  // namespace tarn::test
