// Which Linux device a COM port number stands for.
//
// The operator picks a COM port number (1 to 20). It is looked up, in this order, in
//   1. the environment variable TARN_COM<n> (e.g. TARN_COM3=/dev/ttyUSB0), for scripts and tests;
//   2. the settings key "SerialPorts/COM<n>" of the application's settings, where a user maps a
//      number to any path: /dev/serial/by-id/..., a USB adapter, a pseudo-terminal;
//   3. the n-th serial port of the system in a stable order: /dev/ttyS* by number first (COM1 is
//      /dev/ttyS0, as Linux users know it), then /dev/ttyUSB*, /dev/ttyACM*, then any others.
#pragma once

#include <QString>
#include <QStringList>

namespace tarn {

class SerialPortMap {
public:
    static QString pathFor(int number);
    // The system's serial ports in the order COM1, COM2, ... take them.
    static QStringList systemPorts();
    // Sorts device paths into that order (exposed for tests).
    static QStringList stableOrder(QStringList paths);
    // Remembers a user's mapping in the application settings.
    static void setUserPath(int number, const QString& path);
};

}  // namespace tarn
