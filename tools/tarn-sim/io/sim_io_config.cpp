#include "tarn-sim/io/sim_io_config.h"

#include <QJsonArray>

namespace tarnsim {

namespace {

// "101000000000": one "1"/"0" per port.
template <std::size_t N>
bool readFlags(const QJsonValue& v, std::array<bool, N>& out) {
    if (v.isUndefined()) return true;
    const QString text = v.toString();
    if (text.size() != static_cast<int>(N)) return false;
    for (std::size_t i = 0; i < N; ++i) {
        const QChar c = text[static_cast<int>(i)];
        if (c != '0' && c != '1') return false;
        out[i] = c == '1';
    }
    return true;
}

}  // namespace

std::optional<SimIoConfig> parseSimIoConfig(const QJsonObject& device, QString* error) {
    const QJsonObject io = device.value("io").toObject();
    SimIoConfig c;
    c.port = io.value("port").toInt(0);
    if (c.port < 0 || c.port > 65535) {
        *error = QStringLiteral("\"io\".\"port\" must be 0..65535");
        return std::nullopt;
    }
    c.pty = io.value("pty").toBool(false);
    c.moving = io.value("moving").toBool(true);

    tarn::IoDeviceState& s = c.initial;
    s.serialNumber = io.value("serialNumber").toString().toStdString();
    s.firmwareVersion = io.value("firmwareVersion").toString().toStdString();
    s.settingMode = io.value("settingMode").toBool(false);
    if (!readFlags(io.value("inputs"), s.inputOn) || !readFlags(io.value("outputs"), s.outputOn)) {
        *error = QStringLiteral("\"io\".\"inputs\" must be 12 and \"outputs\" 10 characters of 0 and 1");
        return std::nullopt;
    }
    const QJsonArray adc = io.value("adc").toArray();
    for (int k = 0; k < adc.size() && k < tarn::kIoAdcCount; ++k) s.adcValue[k] = adc[k].toInt() & 0x3FF;

    const QJsonObject f = io.value("faults").toObject();
    c.faults.nak = f.value("nak").toInt(0);
    c.faults.noAnswer = f.value("noAnswer").toBool(false);
    c.faults.lateMs = f.value("lateMs").toInt(0);
    c.faults.badChecksum = f.value("badChecksum").toBool(false);
    c.faults.splitReplies = f.value("splitReplies").toBool(false);
    c.faults.noise = f.value("noise").toString().toStdString();
    c.faults.duplicateReplies = f.value("duplicateReplies").toBool(false);
    c.faults.closeAfter = f.value("closeAfter").toInt(0);
    c.faults.answer12 = f.value("answer12").toBool(false);
    c.faults.silentAfterSettingMode = f.value("silentAfterSettingMode").toBool(false);
    return c;
}

}  // namespace tarnsim
