// The monitor's recording: one IoSample per status poll (the ports as the device reported them, the
// ADC values, whether the link answered, and when), kept in a ring that holds the last 24 hours at
// the shortest poll interval. The ring fills as polls come and then overwrites its oldest sample.
//
// A sample is 32 bytes: 43,200 samples (24 h at 2 s) take 1.3 MiB.
//
//   time (8) | adc values 4 x 2 (8) | 26 port state codes, 4 bits each (13) | link (1) | spare (2)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/iolink/io_state.h"

namespace tarn {

// What a poll found out about the link.
enum class LinkSample : std::uint8_t {
    Good,         // a status reply with result "0": the ports are the device's
    NoReply,      // the poll got no good reply (time-out, refused, another result)
    SettingMode,  // the device answered that it is in setting mode
    Lost,         // the link went down
};

class IoSample {
public:
    static constexpr std::uint16_t kNoAdcValue = 0xFFFF;

    IoSample() { codes_.fill(0x33); }  // NoChange in both halves: nothing known
    // A good status reply; ADC values that are not four digits are kept as unknown.
    static IoSample fromStatus(std::int64_t timeMs, const IoStatus& status);
    // A poll that brought no ports.
    static IoSample withoutStatus(std::int64_t timeMs, LinkSample link);

    std::int64_t timeMs() const { return timeMs_; }
    LinkSample link() const { return link_; }
    PortStateCode output(int i) const { return code(i); }
    PortStateCode input(int i) const { return code(kIoOutputCount + i); }
    PortStateCode adcCode(int k) const { return code(kIoOutputCount + kIoInputCount + k); }
    // 0..9999, or kNoAdcValue when the poll gave none.
    std::uint16_t adcValue(int k) const { return adcValue_[static_cast<std::size_t>(k)]; }

private:
    // Inline: a trend reads every input of every sample of a day at each poll.
    PortStateCode code(int slot) const {
        const std::uint8_t pair = codes_[static_cast<std::size_t>(slot / 2)];
        return static_cast<PortStateCode>(slot % 2 ? pair >> 4 : pair & 0x0F);
    }
    void setCode(int slot, PortStateCode c);

    std::int64_t timeMs_ = 0;
    std::array<std::uint16_t, kIoAdcCount> adcValue_{kNoAdcValue, kNoAdcValue, kNoAdcValue, kNoAdcValue};
    std::array<std::uint8_t, (kIoOutputCount + kIoInputCount + kIoAdcCount + 1) / 2> codes_{};
    LinkSample link_ = LinkSample::NoReply;
};

// 24 hours of polls at the shortest interval, 2 s.
constexpr std::size_t kIoHistoryCapacity = 24 * 60 * 60 / 2;

class IoHistory {
public:
    explicit IoHistory(std::size_t capacity = kIoHistoryCapacity) : capacity_(capacity == 0 ? 1 : capacity) {}

    void record(const IoSample& sample);
    // The samples kept, oldest first: at(0) is the oldest, at(size() - 1) the newest.
    std::size_t size() const { return ring_.size(); }
    const IoSample& at(std::size_t i) const { return ring_[(head_ + i) % ring_.size()]; }
    std::size_t capacity() const { return capacity_; }
    // How many samples were ever recorded; sample number n (from 0) is kept while
    // n >= recorded() - size(). Lets a viewer take only what came since it last looked.
    std::uint64_t recorded() const { return recorded_; }
    // The memory the samples take (the ring's storage, at most capacity() samples).
    std::size_t bytes() const { return ring_.capacity() * sizeof(IoSample); }

private:
    std::size_t capacity_;
    std::vector<IoSample> ring_;
    std::size_t head_ = 0;  // the oldest sample once the ring is full
    std::uint64_t recorded_ = 0;
};

// The CSV of the recording and of `tarnctl io watch`: one header line, then one line per sample.
//   time,link,adc1..adc4,in1..in12,out1..out10
// time in UTC with milliseconds (2026-12-07T21:50:02.125Z); link "ok", "no reply", "setting mode"
// or "lost"; an ADC column holds the value; a port column the state character the device reported
// ("1" on, "0" off, "2" macro, "3" delay on, "4" delay off, "5" pulse, "9" on with a level). Columns
// of what the poll did not bring are empty.
std::string ioSampleCsvHeader();
std::string ioSampleCsvLine(const IoSample& sample);
std::string linkSampleText(LinkSample link);
std::string utcTimeText(std::int64_t timeMs);

}  // namespace tarn
