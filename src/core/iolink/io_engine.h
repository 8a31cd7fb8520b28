// The decisions of the I/O command engine, free of any transport or timer: one request in flight,
// a queue behind it, a reply time-out, retransmission on a negative acknowledgement, and the state
// blocks updated from the replies. The Qt layer (CCommProcess) drives it with received bytes,
// time-outs and link events, and carries out what it asks through IoEngineHost.
//
//   Idle --send head of queue--> AwaitingReply --matching reply, bad checksum,--> Reporting
//    |   (time-out starts)          |        ^       fourth NAK or time-out           |
//    |                              +--------+                                       |
//    |                  NAK: the same frame again                                    |
//    |                  (at most kMaxRetransmissions)                                |
//    +--no link open--> FailingNoLink --zero time-out, result 0--------------------> |
//                                                                                    |
//   Idle <--ioResult handler returned; the next queued request goes out-------------+
//
// A request with no link open fails at once, through a zero time-out, so that the caller's own
// code after QueueRequest runs before its result handler.
//
// Exactly one ioResult is reported per request that was sent, synchronously; the next queued
// request is sent only after that handler returns, so a handler may queue the next command.
// A send failure, or the transport losing the link, reports ioLinkLost once and drops the request
// in flight and the queue without results. The owner must not destroy the engine inside a
// handler.
#pragma once

#include <deque>
#include <string>
#include <string_view>

#include "core/iolink/io_commands.h"
#include "core/iolink/io_framer.h"
#include "core/iolink/io_limits.h"
#include "core/iolink/io_state.h"

namespace tarn {

// What the engine needs from its surroundings.
class IoEngineHost {
public:
    virtual ~IoEngineHost() = default;
    // Writes a whole frame on the open transport; false when the link has failed.
    virtual bool sendFrame(std::string_view frame) = 0;
    // One-shot reply timer; starting it again replaces the running one.
    virtual void startReplyTimer(int ms) = 0;
    virtual void stopReplyTimer() = 0;
    // The request `index` finished: its result character widened as a signed byte, or 0.
    virtual void ioResult(int index, int result) = 0;
    virtual void ioLinkLost() = 0;
    // A matched reply was shorter than its layout; it was applied only as far as it went.
    virtual void shortReply(int /*index*/, std::string_view /*payload*/) {}
};

// One queued request: its whole frame and its command index.
struct IoRequestRecord {
    std::string frame;  // at most kMaxRequestFrameBytes
    int index = 0;
};

class IoCommandEngine {
public:
    enum class State { Idle, AwaitingReply, Reporting, FailingNoLink };

    explicit IoCommandEngine(IoEngineHost& host, int replyTimeoutMs = kReplyTimeoutMs);
    IoCommandEngine(const IoCommandEngine&) = delete;
    IoCommandEngine& operator=(const IoCommandEngine&) = delete;

    // Frames the payload and queues it; false (nothing queued) when it is longer than
    // kMaxRequestPayload.
    bool QueueRequest(std::string_view payload, int index);
    bool QueueRequest(const IoRequest& request) { return QueueRequest(request.payload, request.index); }

    // Link events from the transport.
    void onLinkOpened();
    // The owner closed the link: the request in flight and the queue are dropped without report.
    void onLinkClosed();
    // The transport lost the link: reported once through ioLinkLost, requests dropped.
    void onLinkLost();
    void onBytesReceived(std::string_view bytes);
    void onReplyTimeout();

    void GetStatus(IoStatus& out) const { out = status_; }
    void GetConfig(IoConfig& out) const { out = config_; }
    const IoStatus& status() const { return status_; }
    const IoConfig& config() const { return config_; }

    State state() const { return state_; }
    bool linkOpen() const { return linkOpen_; }
    std::size_t queuedCount() const { return queue_.size(); }
    // The command index of the request last sent.
    int currentCommand() const { return inFlight_.index; }
    int nakCount() const { return nakCount_; }

private:
    void SendNextRequest();
    void ParseReply(std::string_view frame);
    void finish(int result);
    void abandonAll();

    IoEngineHost& host_;
    const int replyTimeoutMs_;
    State state_ = State::Idle;
    bool linkOpen_ = false;
    std::deque<IoRequestRecord> queue_;
    IoRequestRecord inFlight_;  // the request sent last; retransmitted on a NAK
    int nakCount_ = 0;
    unsigned sendCount_ = 0;  // frames received before a send cannot answer it
    IoFramer framer_;
    IoConfig config_;
    IoStatus status_;
};

}  // namespace tarn
