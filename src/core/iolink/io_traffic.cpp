#include "core/iolink/io_traffic.h"

#include "core/iolink/io_frame.h"
#include "core/iolink/io_reply.h"

namespace tarn {

namespace {

// The command name alone: the first word of a request summary.
std::string commandOf(const std::string& summary) { return summary.substr(0, summary.find("  ")); }

std::string portText(std::string_view payload) {
    return payload.size() >= 4 ? "  port " + std::string(payload.substr(2, 2)) : std::string();
}

}  // namespace

std::string ioRequestSummary(std::string_view p) {
    const std::string_view code = p.substr(0, 2);
    const char mode = p.size() > 4 ? p[4] : '\0';
    if (code == "03") return "ReadStatus";
    if (code == "01") {
        // "01" + ten port flags + "," + ten values: the first flag set is the port.
        const std::string_view flags = p.substr(2, 10);
        const std::size_t port = flags.find('1');
        if (port == std::string_view::npos || p.size() < 13 + port + 1) return "SwitchOutput";
        return "SwitchOutput  port " + std::to_string(port + 1) + (p[13 + port] == '1' ? " on" : " off");
    }
    if (code == "04") return p.substr(2, 1) == "1" ? "ChangeRunMode" : "ChangeSettingMode";
    if (code == "05") {
        if (mode == '0' || mode == '1') return "WriteMacroData" + portText(p) + (mode == '1' ? " macro" : " none");
        return "WriteDelayPulseData" + portText(p) + (mode == '3' ? " " + std::string(p.substr(5)) : " none");
    }
    if (code == "07") return (mode == '3' ? "ReadDelayPulseData" : "ReadMacroData") + portText(p);
    if (code == "08") return "WriteAdcLevel  " + std::string(p.substr(2));
    if (code == "10") return "ReadAdcLevel";
    if (code == "11") return "WriteEnableStatus  " + std::string(p.substr(2));
    if (code == "13") return "ReadEnableStatus";
    if (code == "14") return "WritePowerStoppage  " + std::string(p.substr(2));
    if (code == "16") return "ReadPowerStoppage";
    if (code == "62") return "ReadSerialFirmware";
    return "request " + std::string(code);
}

std::string IoTrafficDecoder::sent(std::string_view frame) {
    if (!checkIoFrame(frame)) return "bad checksum";
    const std::string summary = ioRequestSummary(ioFramePayload(frame));
    lastCommand_ = commandOf(summary);
    return summary;
}

std::string IoTrafficDecoder::received(std::string_view frame) {
    if (!checkIoFrame(frame)) return "bad checksum";
    const std::string_view p = ioFramePayload(frame);
    if (isIoNak(p)) return "NAK";
    const std::string result = p.size() > 2 ? "result " + std::string(1, p[2]) : "no result";
    if (lastCommand_.empty()) return "reply " + std::string(p.substr(0, 2)) + " " + result;
    return lastCommand_ + " reply " + result;
}

}  // namespace tarn
