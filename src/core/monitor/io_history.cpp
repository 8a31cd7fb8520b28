#include "core/monitor/io_history.h"

#include <cstdio>
#include <ctime>

namespace tarn {

static_assert(sizeof(IoSample) == 32, "a day of samples is to stay near 1.3 MiB");

namespace {

constexpr int kAdcSlot = kIoOutputCount + kIoInputCount;

std::uint16_t adcNumber(const std::string& value) {
    if (value.size() != kAdcValueLength) return IoSample::kNoAdcValue;
    int n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return IoSample::kNoAdcValue;
        n = n * 10 + (c - '0');
    }
    return static_cast<std::uint16_t>(n);
}

}  // namespace

void IoSample::setCode(int slot, PortStateCode c) {
    std::uint8_t& pair = codes_[static_cast<std::size_t>(slot / 2)];
    const auto v = static_cast<std::uint8_t>(c);
    pair = static_cast<std::uint8_t>(slot % 2 ? (pair & 0x0F) | (v << 4) : (pair & 0xF0) | v);
}

IoSample IoSample::fromStatus(std::int64_t timeMs, const IoStatus& status) {
    IoSample s = withoutStatus(timeMs, LinkSample::Good);
    for (int i = 0; i < kIoOutputCount; ++i) s.setCode(i, status.output[static_cast<std::size_t>(i)]);
    for (int i = 0; i < kIoInputCount; ++i) s.setCode(kIoOutputCount + i, status.input[static_cast<std::size_t>(i)]);
    for (int k = 0; k < kIoAdcCount; ++k) {
        const IoAdcState& adc = status.adc[static_cast<std::size_t>(k)];
        s.setCode(kAdcSlot + k, adc.code);
        s.adcValue_[static_cast<std::size_t>(k)] = adcNumber(adc.value);
    }
    return s;
}

IoSample IoSample::withoutStatus(std::int64_t timeMs, LinkSample link) {
    IoSample s;
    s.timeMs_ = timeMs;
    s.link_ = link;
    return s;
}

void IoHistory::record(const IoSample& sample) {
    ++recorded_;
    if (ring_.size() < capacity_) {
        // Grows with the recording: a short session does not hold a day's worth of memory.
        ring_.push_back(sample);
        if (ring_.size() == capacity_) ring_.shrink_to_fit();
        return;
    }
    ring_[head_] = sample;
    head_ = (head_ + 1) % capacity_;
}

std::string linkSampleText(LinkSample link) {
    switch (link) {
        case LinkSample::Good:
            return "ok";
        case LinkSample::NoReply:
            return "no reply";
        case LinkSample::SettingMode:
            return "setting mode";
        case LinkSample::Lost:
            return "lost";
    }
    return "no reply";
}

std::string utcTimeText(std::int64_t timeMs) {
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(timeMs % 1000));
    return text;
}

std::string ioSampleCsvHeader() {
    std::string header = "time,link";
    for (int k = 1; k <= kIoAdcCount; ++k) header += ",adc" + std::to_string(k);
    for (int i = 1; i <= kIoInputCount; ++i) header += ",in" + std::to_string(i);
    for (int i = 1; i <= kIoOutputCount; ++i) header += ",out" + std::to_string(i);
    return header;
}

std::string ioSampleCsvLine(const IoSample& s) {
    std::string line = utcTimeText(s.timeMs()) + ',' + linkSampleText(s.link());
    const auto port = [&line](PortStateCode code) {
        line += ',';
        if (const char c = portStateChar(code)) line += c;
    };
    for (int k = 0; k < kIoAdcCount; ++k) {
        line += ',';
        if (s.adcValue(k) != IoSample::kNoAdcValue) line += std::to_string(s.adcValue(k));
    }
    for (int i = 0; i < kIoInputCount; ++i) port(s.input(i));
    for (int i = 0; i < kIoOutputCount; ++i) port(s.output(i));
    return line;
}

}  // namespace tarn
