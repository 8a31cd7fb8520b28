#include "core/iolink/io_engine.h"

#include <optional>
#include <vector>

#include "core/iolink/io_frame.h"
#include "core/iolink/io_reply.h"

namespace tarn {

IoCommandEngine::IoCommandEngine(IoEngineHost& host, int replyTimeoutMs)
    : host_(host), replyTimeoutMs_(replyTimeoutMs) {}

bool IoCommandEngine::QueueRequest(std::string_view payload, int index) {
    std::optional<std::string> frame;
    if (payload.size() <= kMaxRequestPayload) frame = buildIoFrame(payload);
    if (!frame) {
        push({{}, index, true});
        return false;
    }
    push({std::move(*frame), index, false});
    return true;
}

bool IoCommandEngine::QueueRequest(const IoRequest& request) {
    if (request.refused()) {
        push({{}, request.index, true});
        return false;
    }
    return QueueRequest(request.payload, request.index);
}

void IoCommandEngine::push(IoRequestRecord record) {
    queue_.push_back(std::move(record));
    SendNextRequest();
}

bool IoCommandEngine::busy() const {
    return state_ == State::AwaitingReply || state_ == State::FailingAtOnce || !queue_.empty();
}

bool IoCommandEngine::isPending(int index) const {
    if ((state_ == State::AwaitingReply || state_ == State::FailingAtOnce) && inFlight_.index == index) return true;
    for (const IoRequestRecord& r : queue_)
        if (r.index == index) return true;
    return false;
}

void IoCommandEngine::SendNextRequest() {
    if (state_ != State::Idle || queue_.empty()) return;
    // A connection being made holds the queue; a refused request needs no link to fail.
    if (link_ == Link::Opening && !queue_.front().refused) return;
    inFlight_ = std::move(queue_.front());
    queue_.pop_front();
    if (inFlight_.refused || link_ != Link::Open) {
        // Nothing can carry the request: it fails at once, reported from the timer so that the
        // caller's own code after QueueRequest runs before its result handler.
        state_ = State::FailingAtOnce;
        host_.startReplyTimer(0);
        return;
    }
    // The retransmission copy, the NAK count and the receive state belong to this request.
    nakCount_ = 0;
    framer_.reset();
    ++sendCount_;
    state_ = State::AwaitingReply;
    if (!host_.sendFrame(inFlight_.frame)) {
        onLinkLost();
        return;
    }
    host_.startReplyTimer(replyTimeoutMs_);
}

void IoCommandEngine::finish(int result, State after) {
    host_.stopReplyTimer();
    state_ = State::Reporting;
    host_.ioResult(inFlight_.index, result);
    // The handler may have disconnected (nothing is owed on a closed link), or queued requests
    // (sent now, in order, unless a reply is owed).
    if (state_ != State::Reporting) return SendNextRequest();
    state_ = link_ == Link::Open ? after : State::Idle;
    if (state_ == State::Draining) host_.startReplyTimer(replyTimeoutMs_);
    SendNextRequest();
}

void IoCommandEngine::onReplyTimeout() {
    if (state_ == State::FailingAtOnce) return finish(kIoResultFailed);
    if (state_ == State::Draining) {
        // The owed reply never came: the device dropped the request.
        state_ = State::Idle;
        return SendNextRequest();
    }
    if (state_ != State::AwaitingReply) return;
    // A reply is owed now. A new connection never carries it; a line that cannot be made anew is drained.
    framer_.reset();
    const bool restarted = host_.restartLink();
    finish(kIoResultFailed, restarted ? State::Idle : State::Draining);
}

void IoCommandEngine::onBytesReceived(std::string_view bytes) {
    std::vector<std::string> frames;
    while (!bytes.empty()) {
        const std::string_view chunk = bytes.substr(0, kMaxChunkBytes);
        bytes.remove_prefix(chunk.size());
        framer_.feed(chunk, [&](std::string_view f) { frames.emplace_back(f); });
    }
    const unsigned sentBefore = sendCount_;
    for (const std::string& frame : frames) {
        if (state_ == State::Draining) {
            // The reply owed to a request that timed out: thrown away, and the queue goes on.
            host_.lateReplyDropped(frame);
            host_.stopReplyTimer();
            state_ = State::Idle;
            SendNextRequest();
            continue;
        }
        // A frame that arrived before the request now in flight was sent cannot be its reply, and
        // with nothing in flight there is nobody to give a frame to.
        if (sendCount_ != sentBefore || state_ != State::AwaitingReply) continue;
        ParseReply(frame);
    }
}

void IoCommandEngine::ParseReply(std::string_view frame) {
    if (!checkIoFrame(frame)) {
        finish(kIoResultFailed);
        return;
    }
    const std::string_view payload = ioFramePayload(frame);
    if (isIoNak(payload)) {
        if (nakCount_ >= kMaxRetransmissions) {
            finish(kIoResultFailed);
            return;
        }
        ++nakCount_;
        // The time-out keeps running from the first send.
        if (!host_.sendFrame(inFlight_.frame)) onLinkLost();
        return;
    }
    const IoReplyOutcome outcome = applyIoReply(payload, inFlight_.index, config_, status_);
    if (!outcome.matched || outcome.shortReply) {
        host_.rejectedReply(inFlight_.index, payload);
        finish(kIoResultFailed);
        return;
    }
    finish(outcome.result);
}

void IoCommandEngine::abandonAll() {
    if (state_ == State::AwaitingReply || state_ == State::FailingAtOnce || state_ == State::Draining)
        host_.stopReplyTimer();
    queue_.clear();
    state_ = State::Idle;
    framer_.reset();
}

void IoCommandEngine::onLinkOpening() {
    link_ = Link::Opening;
    SendNextRequest();
}

void IoCommandEngine::onLinkOpened() {
    link_ = Link::Open;
    framer_.reset();
    SendNextRequest();
}

void IoCommandEngine::onLinkOpenFailed() {
    if (link_ != Link::Opening) return;
    link_ = Link::Closed;
    SendNextRequest();
}

void IoCommandEngine::onLinkClosed() {
    link_ = Link::Closed;
    abandonAll();
}

void IoCommandEngine::onLinkLost() {
    const bool wasOpen = link_ == Link::Open;
    link_ = Link::Closed;
    framer_.reset();
    if (wasOpen) host_.ioLinkLost();
    // Every request still gets its one outcome: the one in flight fails now, from the event loop
    // (this may run inside QueueRequest, whose caller's own code comes first), and the queued ones
    // after it, one by one, as requests without a link do.
    if (state_ == State::AwaitingReply) {
        state_ = State::FailingAtOnce;
        host_.startReplyTimer(0);
        return;
    }
    if (state_ == State::Draining) {  // nothing more comes on a lost link
        host_.stopReplyTimer();
        state_ = State::Idle;
    }
    SendNextRequest();
}

}  // namespace tarn
