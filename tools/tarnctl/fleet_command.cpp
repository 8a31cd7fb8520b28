// tarnctl fleet backup|apply: the parameters of many devices at once. A probe finds the devices,
// the selection options choose among them, and a DeviceJob then takes each chosen device through a
// session of its own, one after the other, started --spacing ms apart: a backup reads it and writes
// its .CNF, an apply reads it, marks the rows of the file that differ and sets them. What happened
// to each device is one line of output and, for a backup, one entry of DIR/fleet.json. Everything
// runs on the application's one event loop, which the job's end quits.
#include <algorithm>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/fleet/device_job.h"
#include "core/fleet/fleet_apply.h"
#include "core/fleet/fleet_index.h"
#include "link/common/qt_bytes.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/fleet_run.h"
#include "tarnctl/usage.h"

namespace tarnctl {

namespace {

int backup(const FleetOptions& o, const QString& dir) {
    if (const auto problem = tarn::prepareBackupFolder(QDir(dir).absolutePath().toStdString()))
        return usageError(latin1(*problem));
    const tarn::ProductNames names = productNames(o.device.dataDir);
    FleetRun run(o, names);
    tarn::JobRequest request;
    request.kind = tarn::JobKind::Backup;
    request.folder = dir.toStdString();
    return runLoop([&] {
        run.start(
            std::move(request),
            [](const tarn::FleetSelection&, const std::vector<tarn::DeviceEntry>&) { return kExitOk; },
            [&](const tarn::OperationOutcomes& outcomes, const std::string& error) {
                // Written whole by the job, also after a stop: every requested device has its entry.
                if (!error.empty())
                    return endLoop(usageError(
                        QStringLiteral("%1 not written: %2")
                            .arg(QDir(dir).filePath(QString::fromLatin1(tarn::kFleetIndexFileName)), latin1(error))));
                endLoop(finish(o, outcomes, names, run.stopSignal()));
            });
    });
}

int apply(const FleetOptions& o, const QString& fileArgument, const QStringList& only, bool dryRun, bool reboot) {
    tarn::JobRequest request;
    request.kind = tarn::JobKind::Apply;
    request.file = fileArgument.toStdString();
    request.dryRun = dryRun;
    request.reboot = reboot;
    std::vector<std::string> rows;
    for (const QString& row : only) rows.push_back(tarn::latin1Bytes(row.trimmed()));
    request.plan = tarn::planApply(request.file, o.device.dataDir.toStdString() + "/", rows, *o.device.definitions);
    if (!request.plan.problem.empty()) return usageError(latin1(request.plan.problem));
    if (!request.plan.refused.empty()) return usageError(latin1(tarn::refusedValuesText(request.plan.refused)));
    const tarn::ProductNames names = productNames(o.device.dataDir);
    const tarn::ConfigurationHeader header = request.plan.header;
    tarn::DeviceEntry fileDevice;
    fileDevice.productId = header.productId;
    const std::string fileProduct = tarn::productText(fileDevice, names);
    bool anyOfTheFile = false;
    FleetRun run(o, names);
    return runLoop([&] {
        run.start(
            std::move(request),
            [&](const tarn::FleetSelection& selection, const std::vector<tarn::DeviceEntry>&) {
                anyOfTheFile =
                    std::any_of(selection.devices.begin(), selection.devices.end(), [&](const tarn::DeviceEntry& d) {
                        return d.productId == header.productId && d.version == header.version;
                    });
                return kExitOk;
            },
            [&](const tarn::OperationOutcomes& outcomes, const std::string&) {
                const int done = finish(o, outcomes, names, run.stopSignal());
                // A file for a product none of the selected devices has applied nothing: that is no success.
                if (done == kExitOk && !anyOfTheFile)
                    return endLoop(
                        fail(kExitDeviceFailure, QStringLiteral("no selected device is a %1 %2: nothing was applied")
                                                     .arg(latin1(fileProduct), latin1(header.version))));
                endLoop(done);
            });
    });
}

}  // namespace

int runFleet(const QStringList& args) {
    const QString sub = args.value(0);
    if (sub == QLatin1String("export")) return runFleetExport(args.mid(1));
    if (sub == QLatin1String("apply") && std::any_of(args.begin(), args.end(), [](const QString& a) {
            return a == "--values" || a.startsWith("--values=");
        }))
        return runFleetValues(args.mid(1));
    const bool isBackup = sub == QLatin1String("backup");
    if (!isBackup && sub != QLatin1String("apply"))
        return usageError(
            QStringLiteral("usage: tarnctl fleet backup DIR | apply FILE.CNF [--only ROW[,ROW...]] "
                           "[--dry-run] [--reboot] | apply --values TABLE.csv [--dry-run] [--reboot] | "
                           "export (DIR | selection) --csv [--only ROW[,ROW...]] (see tarnctl --help)"));
    QCommandLineParser p;
    p.addOptions(usage(QStringLiteral("fleet ") + sub).options);
    if (!p.parse(QStringList{QStringLiteral("tarnctl fleet ") + sub} + args.mid(1))) return badOption(p);
    if (p.positionalArguments().size() != 1)
        return usageError(QStringLiteral("fleet %1 takes one %2").arg(sub, isBackup ? "DIR" : "FILE.CNF"));
    auto options = readFleetOptions(p);
    if (!options) return kExitUsage;
    if (isBackup) return backup(*options, p.positionalArguments().first());
    options->showPasswords = p.isSet("show-passwords");
    if (p.isSet("dry-run") && p.isSet("reboot"))
        return usageError(QStringLiteral("--dry-run sends nothing: no --reboot"));
    const QStringList only = p.isSet("only") ? p.value("only").split(',', Qt::SkipEmptyParts) : QStringList();
    if (p.isSet("only") && only.isEmpty()) return usageError(QStringLiteral("--only needs at least one row"));
    return apply(*options, p.positionalArguments().first(), only, p.isSet("dry-run"), p.isSet("reboot"));
}

}  // namespace tarnctl
