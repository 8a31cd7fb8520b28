#include "link/iolink/serial_port_map.h"

#include <algorithm>
#include <tuple>

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSettings>

#include "link/common/data_folders.h"

namespace tarn {

namespace {

QSettings appSettings() { return QSettings(settingsFile(), QSettings::IniFormat); }

// Sort key: family (ttyS, ttyUSB, ttyACM, other), then the device's number, then the path.
std::tuple<int, long long, QString> orderKey(const QString& path) {
    static const QRegularExpression re(QStringLiteral("^/dev/tty(S|USB|ACM)(\\d+)$"));
    const auto m = re.match(path);
    if (!m.hasMatch()) return {3, 0, path};
    const QString family = m.captured(1);
    const int rank = family == QLatin1String("S") ? 0 : family == QLatin1String("USB") ? 1 : 2;
    return {rank, m.captured(2).toLongLong(), path};
}

}  // namespace

QStringList SerialPortMap::stableOrder(QStringList paths) {
    std::sort(paths.begin(), paths.end(), [](const QString& a, const QString& b) { return orderKey(a) < orderKey(b); });
    paths.removeDuplicates();
    return paths;
}

QStringList SerialPortMap::systemPorts() {
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) paths << info.systemLocation();
    return stableOrder(paths);
}

QString SerialPortMap::pathFor(int number) {
    const QString key = QStringLiteral("COM%1").arg(number);
    const QByteArray fromEnv = qgetenv(("TARN_" + key).toLatin1().constData());
    if (!fromEnv.isEmpty()) return QString::fromLocal8Bit(fromEnv);
    const QString fromSettings = appSettings().value(QStringLiteral("SerialPorts/") + key).toString();
    if (!fromSettings.isEmpty()) return fromSettings;
    const QStringList ports = systemPorts();
    if (number >= 1 && number <= ports.size()) return ports[number - 1];
    return {};
}

void SerialPortMap::setUserPath(int number, const QString& path) {
    appSettings().setValue(QStringLiteral("SerialPorts/COM%1").arg(number), path);
}

}  // namespace tarn
