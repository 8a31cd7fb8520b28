// Start-up of the desktop application: command line, settings, main frame, and the demo fleet.
#pragma once

#include <optional>

#include <QHostAddress>
#include <QString>

class QApplication;

namespace tarn {

struct ManagerCommandLine {
    std::optional<int> exitNow;  // --help, --version or a bad option: the exit status, without a window
    QString dataDir;             // --data-dir, empty when not given
    std::optional<quint16> devicePort;
    std::optional<QHostAddress> broadcast;
    bool demo = false;
    bool resetLayout = false;  // forget the remembered window layout
    QString fleet;
    int quitAfterMs = -1;  // --quit-after: close the window by itself (start-up checks)
};

// Reads the command line before the application object exists, so that --help, --version and a bad
// option need no display. Qt's own options (-platform, -style, ...) are left to QApplication.
ManagerCommandLine readManagerCommandLine(int argc, char** argv);

// Runs TARN Manager; returns the process exit code.
int runManagerApp(QApplication& app, const ManagerCommandLine& options);

}  // namespace tarn
