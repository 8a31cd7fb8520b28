// The decisions of the I/O command engine, free of any transport or timer: one request in flight,
// a queue behind it, a reply time-out, retransmission on a negative acknowledgement, and the state
// blocks updated from the replies. The Qt layer (CCommProcess) drives it with received bytes,
// time-outs and link events, and carries out what it asks through IoEngineHost.
//
//   Idle --send head of queue--> AwaitingReply --any reply, bad checksum, -------> Reporting
//    |   (time-out starts)          |        ^       fourth NAK or time-out           |
//    |                              +--------+                                       |
//    |                  NAK: the same frame again                                    |
//    |                  (at most kMaxRetransmissions)                                |
//    +--refused, or no link--> FailingAtOnce --zero time-out, result 0-------------> |
//                                                                                    |
//   Idle <--ioResult handler returned; the next queued request goes out-------------+
//
// The link has three states of its own: Closed, Opening and Open.
//
//   Closed --onLinkOpening--> Opening --onLinkOpened--> Open
//     ^                          |                        |
//     +------onLinkOpenFailed----+                        |
//     +------onLinkClosed (owner), onLinkLost (transport)-+
//
// While the link is Opening, queued requests are held; they go out when it opens, and each fails
// with result 0 only if the open fails. A request refused by its builder (IoRefusal) or queued
// with no link fails at once, through a zero time-out, so that the caller's own code after
// QueueRequest runs before its result handler.
//
// A reply counts only when its code is its command's and it is as long as its layout (io_reply.h);
// any other reply that arrives after the request went out fails the request (result 0).
//
// A time-out leaves a reply owed: the device may still answer the request that timed out, and
// that answer must never pass for the next request's (the protocol has no request ids, and a late
// status reply looks like the next poll's). So after a time-out, before anything else is sent:
//   - a link that can be made anew (TCP) is dropped and opened again (IoEngineHost::restartLink);
//     whatever the device still sends goes to the old connection, and the next request waits for
//     the new one, as requests wait while a link is Opening;
//   - a link that cannot (a serial line) is drained: the engine waits (Draining) for the owed
//     reply, which it throws away, or for one more reply time-out, whichever comes first.
//
//   AwaitingReply --time-out--> Reporting --result handler returned--> Draining --a frame, or the
//                                                                         time-out--> Idle
//
// Guarantees:
// - Exactly one ioResult per queued request, synchronously, in queue order; the next queued
//   request is sent only after that handler returns, so a handler may queue the next command.
// - Also when the transport loses the link: ioLinkLost comes first, once; then the request in
//   flight and every queued one fail with result 0, from the event loop, in queue order.
// - The only exception is the owner closing the link (onLinkClosed): the request in flight and
//   the queue are then dropped without results; the owner knows why.
// - The owner must not destroy the engine inside a handler.
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
    // A reply with another command's code, or a good one shorter than its layout: the request
    // `index` failed with it (its result is 0). Told once per reply.
    virtual void rejectedReply(int /*index*/, std::string_view /*payload*/) {}
    // After a time-out: drop the link and start opening it again (onLinkOpening now, onLinkOpened
    // or onLinkOpenFailed later), so that a late reply cannot arrive on the new one. False when the
    // transport cannot (a serial line): the engine then drains the owed reply.
    virtual bool restartLink() { return false; }
    // A frame that arrived while a reply was owed, thrown away.
    virtual void lateReplyDropped(std::string_view /*frame*/) {}
};

// One queued request: its whole frame and its command index; a refused request has no frame.
struct IoRequestRecord {
    std::string frame;  // at most kMaxRequestFrameBytes
    int index = 0;
    bool refused = false;
};

class IoCommandEngine {
public:
    enum class State { Idle, AwaitingReply, Reporting, FailingAtOnce, Draining };
    enum class Link { Closed, Opening, Open };

    explicit IoCommandEngine(IoEngineHost& host, int replyTimeoutMs = kReplyTimeoutMs);
    IoCommandEngine(const IoCommandEngine&) = delete;
    IoCommandEngine& operator=(const IoCommandEngine&) = delete;

    // Frames the payload and queues it. A payload longer than kMaxRequestPayload is refused: the
    // result is false and the request is still queued, to be reported as failed (result 0).
    bool QueueRequest(std::string_view payload, int index);
    // Queues a built request; a refused one (false) is reported as failed (result 0) in its turn.
    bool QueueRequest(const IoRequest& request);

    // Link events from the transport.
    void onLinkOpening();
    void onLinkOpened();
    // The open did not succeed: every held request fails, one by one, with result 0.
    void onLinkOpenFailed();
    // The owner closed the link: the request in flight and the queue are dropped without report.
    void onLinkClosed();
    // The transport lost the link: reported once through ioLinkLost; then every request fails.
    void onLinkLost();
    void onBytesReceived(std::string_view bytes);
    void onReplyTimeout();

    const IoStatus& status() const { return status_; }
    const IoConfig& config() const { return config_; }
    // Whether a block of the configuration was ever read from the device (see IoBlock).
    bool wasRead(IoBlock block) const { return config_.wasRead(block); }

    State state() const { return state_; }
    Link link() const { return link_; }
    bool linkOpen() const { return link_ == Link::Open; }
    std::size_t queuedCount() const { return queue_.size(); }
    // A request is queued or waits for its result. Inside a result handler the request being
    // reported no longer counts.
    bool busy() const;
    // A request with this command index is queued or waits for its result; a poll is not queued
    // again while the previous one is pending.
    bool isPending(int index) const;
    // The command index of the request last sent.
    int currentCommand() const { return inFlight_.index; }
    int nakCount() const { return nakCount_; }

private:
    void push(IoRequestRecord record);
    void SendNextRequest();
    void ParseReply(std::string_view frame);
    void finish(int result, State after = State::Idle);
    void abandonAll();

    IoEngineHost& host_;
    const int replyTimeoutMs_;
    State state_ = State::Idle;
    Link link_ = Link::Closed;
    std::deque<IoRequestRecord> queue_;
    IoRequestRecord inFlight_;  // the request sent last; retransmitted on a NAK
    int nakCount_ = 0;
    unsigned sendCount_ = 0;  // frames received before a send cannot answer it
    IoFramer framer_;
    IoConfig config_;
    IoStatus status_;
};

}  // namespace tarn
