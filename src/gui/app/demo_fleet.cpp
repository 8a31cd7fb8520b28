#include "gui/app/demo_fleet.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>

#include "gui/app/main_frame.h"

namespace tarn {

DemoFleet::DemoFleet(CMainFrame& frame, QString fleetFile, QString simulator, QObject* parent)
    : QObject(parent), frame_(frame), fleetFile_(std::move(fleetFile)), simulator_(std::move(simulator)) {
    connect(&process_, &QProcess::readyReadStandardOutput, this, &DemoFleet::onOutput);
    connect(&process_, &QProcess::errorOccurred, this, &DemoFleet::onFailed);
    connect(&process_, &QProcess::finished, this, &DemoFleet::onFailed);
}

DemoFleet::~DemoFleet() {
    process_.disconnect(this);
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(1000)) process_.kill();
    }
}

void DemoFleet::start() {
    const QString sim = simulator_.isEmpty()
                            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tarn-sim"))
                            : simulator_;
    // Until the simulator says where it listens, a probe would go to the real broadcast address.
    frame_.state().demoNotRunning = "The demo fleet is not running yet.";
    frame_.showStatus(QStringLiteral("Starting the simulated fleet..."));
    // A program that cannot be started is reported from inside start(), so this comes last.
    // The simulated devices read the same product files as the window.
    process_.start(sim, {QStringLiteral("--fleet"), fleetFile_, QStringLiteral("--device-port"), QStringLiteral("0"),
                         QStringLiteral("--data-dir"), frame_.state().dataDir});
}

void DemoFleet::onOutput() {
    while (process_.canReadLine()) {
        const QStringList words = QString::fromUtf8(process_.readLine()).trimmed().split(' ', Qt::SkipEmptyParts);
        if (words.value(0) == QLatin1String("device")) ++devices_;
        if (words.size() >= 3 && words[0] == QLatin1String("ready") && words[1] == QLatin1String("port")) {
            FrameState& s = frame_.state();
            s.devicePort = static_cast<quint16>(words[2].toUInt());
            s.broadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
            ready_ = true;
            s.demoNotRunning.clear();
            frame_.showStatus(
                QStringLiteral("Demo: %1 simulated devices on loopback, port %2.").arg(devices_).arg(s.devicePort));
            // The newcomer sees the fleet at once; Probe lists it again at any time.
            frame_.onProbe();
        }
    }
}

void DemoFleet::onFailed() {
    // The simulator says on its error output why it stopped; that line is the best explanation.
    QString reason = QString::fromLocal8Bit(process_.readAllStandardError()).trimmed();
    if (reason.isEmpty()) reason = process_.errorString();
    const QString text = ready_ ? QStringLiteral("The demo fleet has stopped: %1").arg(reason)
                                : QStringLiteral("The demo fleet could not be started: %1").arg(reason);
    frame_.state().demoNotRunning = text.toLatin1().toStdString();
    frame_.showStatus(text);
}

}  // namespace tarn
