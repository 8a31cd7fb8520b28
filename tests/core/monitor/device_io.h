// An IoRequester for tests: the real command engine wired straight to a device model, answered
// when the test pumps. Results can be forced per command index, the device can fall silent, and
// the link can drop.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/iolink/io_device.h"
#include "core/iolink/io_engine.h"
#include "core/iolink/io_frame.h"
#include "core/iolink/io_requester.h"

namespace tarn::test {

class DeviceIo : public IoRequester, private IoEngineHost {
public:
    DeviceIo() {
        engine_.onLinkOpening();
        engine_.onLinkOpened();
    }

    bool QueueRequest(const IoRequest& request) override {
        const bool ok = engine_.QueueRequest(request);
        if (autoPump) pump();
        return ok;
    }
    const IoConfig& config() const override { return engine_.config(); }
    const IoStatus& status() const override { return engine_.status(); }
    bool isPending(int index) const override { return engine_.isPending(index); }

    // Answers what is outstanding until nothing is: the device's reply, or a forced result.
    void pump() {
        if (pumping_) return;  // a result handler queued more; the outer loop sends it
        pumping_ = true;
        while (true) {
            if (!frame_.empty()) {
                std::string frame = std::move(frame_);
                frame_.clear();
                if (silent) continue;
                engine_.onBytesReceived(answer(frame));
            } else if (timerMs_ == 0) {
                timerMs_ = -1;
                engine_.onReplyTimeout();
            } else if (reopening_) {
                reopening_ = false;
                engine_.onLinkOpened();
            } else {
                break;
            }
        }
        pumping_ = false;
    }
    // The device stays silent past the reply time-out of the request in flight.
    void timeOut() {
        frame_.clear();
        timerMs_ = -1;
        engine_.onReplyTimeout();
        pump();
    }

    // The link drops: the engine tells onLinkLost, then fails what waits, as the event loop would.
    void dropLink() {
        frame_.clear();
        engine_.onLinkLost();
        pump();
    }

    IoDeviceModel device;
    IoCommandEngine& engine() { return engine_; }
    std::function<void(int, int)> onResult;
    std::function<void()> onLinkLost;
    std::vector<std::string> sent;  // the payloads sent, in order
    std::map<int, char> forced;     // command index -> the result character the device gives
    bool silent = false;
    bool autoPump = true;

private:
    static std::string replyCode(int index) {
        switch (index) {
            case 4:
            case 5:
            case 10:
            case 11:
                return "06";
            case 6:
            case 12:
                return "09";
            case 7:
            case 13:
                return "12";
            case 8:
            case 14:
                return "15";
            case 15:
                return "63";
            default:
                return "02";
        }
    }

    std::string answer(const std::string& frame) {
        const int index = engine_.currentCommand();
        auto f = forced.find(index);
        if (f == forced.end()) return device.answerFrame(frame);
        // The reply code of the command with the forced result and nothing after it; the device
        // itself never sees the request.
        return *buildIoFrame(replyCode(index) + f->second);
    }

    bool sendFrame(std::string_view frame) override {
        sent.emplace_back(ioFramePayload(frame));
        frame_ = std::string(frame);
        return true;
    }
    void startReplyTimer(int ms) override { timerMs_ = ms; }
    void stopReplyTimer() override { timerMs_ = -1; }
    void ioResult(int index, int result) override {
        if (onResult) onResult(index, result);
    }
    void ioLinkLost() override {
        if (onLinkLost) onLinkLost();
    }
    // As a TCP link does after a time-out: made anew, at once.
    bool restartLink() override {
        frame_.clear();
        engine_.onLinkOpening();
        reopening_ = true;
        return true;
    }

    IoCommandEngine engine_{*this};
    std::string frame_;
    int timerMs_ = -1;
    bool pumping_ = false;
    bool reopening_ = false;
};

}  // namespace tarn::test
