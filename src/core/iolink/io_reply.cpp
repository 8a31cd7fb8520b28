#include "core/iolink/io_reply.h"

#include <cstdint>
#include <optional>

#include "core/iolink/io_commands.h"
#include "core/iolink/io_limits.h"

namespace tarn {

namespace {

// The reply table, in the order in which entries are tried.
const IoReplyEntry kReplyTable[] = {
    {"02", [](int i) { return i == IoCommand::ReadStatus; }, IoReplyUpdate::Status, 54},
    {"02", [](int i) { return i == IoCommand::ChangeSettingMode; }, IoReplyUpdate::None, 3},
    {"06", [](int i) { return i == IoCommand::WriteMacroData || i == IoCommand::ReadMacroData; }, IoReplyUpdate::Macro,
     6},
    {"06", [](int i) { return i == IoCommand::WriteDelayPulseData || i == IoCommand::ReadDelayPulseData; },
     IoReplyUpdate::DelayPulse, 6},
    {"02", [](int i) { return i == IoCommand::ChangeRunMode; }, IoReplyUpdate::None, 3},
    {"09", [](int i) { return i == IoCommand::WriteAdcLevel || i == IoCommand::ReadAdcLevel; }, IoReplyUpdate::AdcLevel,
     19},
    // Only an enable-status request takes an enable-status reply (see the header).
    {"12", [](int i) { return i == IoCommand::WriteEnableStatus || i == IoCommand::ReadEnableStatus; },
     IoReplyUpdate::EnableStatus, 37},
    {"15", [](int i) { return i == IoCommand::WritePowerStoppage || i == IoCommand::ReadPowerStoppage; },
     IoReplyUpdate::PowerStoppage, 15},
    {"63", [](int i) { return i == IoCommand::ReadSerialFirmware; }, IoReplyUpdate::SerialFirmware, 28},
};

// Bounds-checked view of the payload.
class Reply {
public:
    explicit Reply(std::string_view p) : p_(p) {}
    std::optional<char> at(std::size_t k) const {
        if (k >= p_.size()) return std::nullopt;
        return p_[k];
    }
    // The `length` characters from position k, only when all of them were received.
    std::optional<std::string_view> field(std::size_t k, std::size_t length) const {
        if (k + length > p_.size()) return std::nullopt;
        return p_.substr(k, length);
    }
    // From position k to the end of the payload, at most `limit` characters.
    std::string_view rest(std::size_t k, std::size_t limit) const {
        if (k >= p_.size()) return {};
        return p_.substr(k, limit);
    }

private:
    std::string_view p_;
};

void setCode(PortStateCode& code, std::optional<char> c) {
    if (c) code = portStateCodeFromChar(*c);
}

void applyStatus(const Reply& r, IoStatus& s) {
    for (std::size_t k = 0; k < kIoAdcCount; ++k) {
        setCode(s.adc[k].code, r.at(3 + 6 * k));
        if (auto v = r.field(4 + 6 * k, kAdcValueLength)) s.adc[k].value = std::string(*v);
    }
    for (std::size_t i = 0; i < kIoInputCount; ++i) setCode(s.input[i], r.at(27 + 5 * (i / 4) + i % 4));
    for (std::size_t i = 0; i < kIoOutputCount; ++i) setCode(s.output[i], r.at(42 + 5 * (i / 4) + i % 4));
}

// False when the mode character is not one the update knows (nothing changed).
bool applyMacro(const Reply& r, IoConfig& c) {
    const auto mode = r.at(5);
    if (mode == '0') {
        c.macroEnabled = 0;
        c.macroText.clear();
    } else if (mode == '1') {
        c.macroEnabled = 1;
        c.macroText = std::string(r.rest(6, kMaxMacroTextLength));
    } else {
        return false;
    }
    return true;
}

bool applyDelayPulse(const Reply& r, IoConfig& c) {
    const auto mode = r.at(5);
    if (mode == '0' || mode == '2') {
        c.pulseEnabled = 0;
        c.pulseText.clear();
    } else if (mode == '3') {
        c.pulseEnabled = 1;
        c.pulseText = std::string(r.rest(6, kMaxPulseTextLength));
    } else {
        return false;
    }
    return true;
}

void applyAdcLevel(const Reply& r, IoConfig& c) {
    for (std::size_t k = 0; k < kIoAdcCount; ++k)
        if (auto v = r.field(3 + 4 * k, kAdcLevelLength)) c.adcLevel[k] = std::string(*v);
}

// "1" enables, "2" disables, anything else leaves the flag alone.
template <typename T>
void setEnable(T& flag, std::optional<char> c, T whenOne, T whenTwo) {
    if (c == '1') flag = whenOne;
    if (c == '2') flag = whenTwo;
}

void applyEnableStatus(const Reply& r, IoConfig& c) {
    for (std::size_t k = 0; k < kIoAdcCount; ++k) setEnable<std::int32_t>(c.adcMode[k], r.at(3 + k), 0, 1);
    if (auto ref = r.at(8)) c.reference = *ref;
    for (std::size_t i = 0; i < kIoInputCount; ++i)
        setEnable<std::uint8_t>(c.inputEnable[i], r.at(10 + 5 * (i / 4) + i % 4), 1, 0);
    for (std::size_t i = 0; i < kIoOutputCount; ++i)
        setEnable<std::uint8_t>(c.outputEnable[i], r.at(25 + 5 * (i / 4) + i % 4), 1, 0);
}

void applyPowerStoppage(const Reply& r, IoConfig& c) {
    for (std::size_t i = 0; i < kIoOutputCount; ++i)
        if (auto v = r.at(3 + 5 * (i / 4) + i % 4)) c.powerStoppage[i] = *v == '1' ? 1 : 0;
}

void applySerialFirmware(const Reply& r, IoConfig& c) {
    if (auto v = r.field(3, kSerialNumberLength)) c.serialNumber = std::string(*v);
    if (auto v = r.field(20, kFirmwareVersionLength)) c.firmwareVersion = std::string(*v);
}

}  // namespace

bool isIoNak(std::string_view payload) { return payload.substr(0, 5) == "00NAK"; }

const IoReplyEntry* findIoReplyEntry(std::string_view payload, int commandInFlight) {
    if (payload.size() < 2) return nullptr;
    const std::string_view code = payload.substr(0, 2);
    for (const IoReplyEntry& e : kReplyTable)
        if (e.code == code && e.matchesCommand(commandInFlight)) return &e;
    return nullptr;
}

IoReplyOutcome applyIoReply(std::string_view payload, int commandInFlight, IoConfig& config, IoStatus& status) {
    IoReplyOutcome out;
    const IoReplyEntry* entry = findIoReplyEntry(payload, commandInFlight);
    if (!entry) return out;
    out.matched = true;
    if (payload.size() < 3) {
        // A reply without a result character says nothing about the request: it failed.
        out.result = kIoResultFailed;
        out.shortReply = true;
        return out;
    }
    const char result = payload[2];
    out.result = static_cast<std::int8_t>(result);
    if (result != '0') return out;
    if (payload.size() < entry->fullLength) {
        out.result = kIoResultFailed;
        out.shortReply = true;
        return out;
    }
    const Reply r(payload);
    switch (entry->update) {
        case IoReplyUpdate::Status:
            applyStatus(r, status);
            break;
        case IoReplyUpdate::None:
            break;
        case IoReplyUpdate::Macro:
            if (applyMacro(r, config)) config.markRead(IoBlock::Macro);
            break;
        case IoReplyUpdate::DelayPulse:
            if (applyDelayPulse(r, config)) config.markRead(IoBlock::DelayPulse);
            break;
        case IoReplyUpdate::AdcLevel:
            applyAdcLevel(r, config);
            config.markRead(IoBlock::AdcLevel);
            break;
        case IoReplyUpdate::EnableStatus:
            applyEnableStatus(r, config);
            config.markRead(IoBlock::EnableStatus);
            break;
        case IoReplyUpdate::PowerStoppage:
            applyPowerStoppage(r, config);
            config.markRead(IoBlock::PowerStoppage);
            break;
        case IoReplyUpdate::SerialFirmware:
            applySerialFirmware(r, config);
            config.markRead(IoBlock::SerialFirmware);
            break;
    }
    return out;
}

}  // namespace tarn
