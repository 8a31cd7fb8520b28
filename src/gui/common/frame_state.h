// The small pieces of state that the main frame holds for several parts of the program: the link
// mode, the Quick Connect address, the I/O monitor's network address and the serial settings.
#pragma once

#include <string>

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include "core/common/serial_settings.h"
#include "core/discovery/device_limit.h"
#include "core/discovery/management_message.h"

namespace tarn {

struct FrameState {
    LinkMode linkMode = LinkMode::Network;

    // I/O monitor target in Network mode: written when a device reports its "IP address" and
    // "Local port", cleared by the device tree.
    std::string monitorAddress;
    int monitorPort = 0;

    SerialSettings serial;

    // Quick Connect: while active, probes go to the typed addresses (one, or a list of addresses,
    // ranges and blocks), one by one, and devices are marked "Q".
    bool quickConnectActive = false;
    std::string quickConnectAddress;
    // The lists typed before, the last one first; kept in the settings and offered by the dialog.
    QStringList quickConnectBook;

    // Where management datagrams go: the device port and the broadcast address.
    quint16 devicePort = kDevicePort;
    QHostAddress broadcastAddress{QHostAddress::Broadcast};
    // "Probe every network interface" (Options menu, kept in the settings): the probe also goes to
    // the directed broadcast of every interface.
    bool probeAllInterfaces = false;
    // The most devices a probe lists (Options, kept in the settings); replies past it are counted.
    int maxDevices = kDefaultMaxDevices;

    // With --demo: why the simulated fleet cannot be probed (not ready yet, failed to start, stopped);
    // empty while it serves, and always without --demo. Probe shows it instead of sending.
    std::string demoNotRunning;

    // Folder of the .dcf files, prodid.ini and help (the executable's folder unless --data-dir).
    QString dataDir;
    // Folder for the files the program writes (pwd.ini, MonInter.dat).
    QString writableDir;

    // Where the file dialogs open: the folder of the last configuration file loaded, saved or
    // compared, and the last backup folder (remembered between runs).
    QString lastConfigurationFolder;
    QString lastBackupFolder;

    void clearMonitorTarget() {
        monitorAddress.clear();
        monitorPort = 0;
    }
};

}  // namespace tarn
