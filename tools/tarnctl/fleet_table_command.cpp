// tarnctl fleet export --csv and fleet apply --values: a site's per-device values as a site table
// (core/fleet/site_table.h). The table is written from a backup folder (no device needed) or read
// from the devices; applying one checks every cell against the devices that answered before anything
// is sent.
#include <cstdio>
#include <string>
#include <vector>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include "core/common/file_io.h"
#include "core/fleet/site_check.h"
#include "link/common/data_folders.h"
#include "link/common/qt_bytes.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/fleet_run.h"
#include "tarnctl/usage.h"

namespace tarnctl {

namespace {

// "Location,4.1.1" -> the rows as the device's list names them.
std::vector<std::string> onlyRows(const QCommandLineParser& p) {
    std::vector<std::string> rows;
    for (const QString& row : p.value("only").split(',', Qt::SkipEmptyParts))
        rows.push_back(tarn::latin1Bytes(row.trimmed()));
    return rows;
}

int printTable(const tarn::SiteExport& out) {
    const std::vector<std::string> problems = out.problems();
    if (!problems.empty()) {
        std::string text;
        for (const std::string& p : problems) text += (text.empty() ? "" : "\n") + p;
        return usageError(tarn::latin1(text));
    }
    const std::string text = tarn::formatSiteTable(out.table());
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : usageError(QStringLiteral("the table could not be written"));
}

int exportFolder(const QString& folder, const QString& dataDir, const std::vector<std::string>& only) {
    if (!QFileInfo(folder).isDir()) return usageError(QStringLiteral("'%1' is not a folder").arg(folder));
    tarn::SiteDefinitions definitions(dataDir.toStdString() + "/");
    tarn::SiteExport out(only);
    std::vector<std::string> problems;
    tarn::exportBackupFolder(folder.toStdString(), definitions, out, problems);
    if (!problems.empty()) {
        std::string text;
        for (const std::string& p : problems) text += (text.empty() ? "" : "\n") + p;
        return usageError(tarn::latin1(text));
    }
    return printTable(out);
}

// The devices' lists read by a Get, one device after the other; the lines go to the error output,
// the table to standard output (the devices read; exit 1 when one could not be).
int exportDevices(FleetOptions& o, const std::vector<std::string>& only) {
    o.linesOnStderr = true;
    const tarn::ProductNames names = productNames(o.device.dataDir);
    tarn::SiteExport out(only);
    FleetRun run(o, names);
    run.onDevice = [&out](const tarn::DeviceResult& result) {
        if (result.outcome.status == tarn::OutcomeStatus::Ok && result.table)
            out.add(tarn::siteMac(result.outcome.device.mac).value_or(result.outcome.device.mac), *result.table);
    };
    tarn::JobRequest request;
    request.kind = tarn::JobKind::Get;
    return runLoop([&] {
        run.start(
            std::move(request),
            [](const tarn::FleetSelection&, const std::vector<tarn::DeviceEntry>&) { return kExitOk; },
            [&](const tarn::OperationOutcomes& outcomes, const std::string&) {
                const int code = finish(o, outcomes, names, run.stopSignal());
                const int printed = printTable(out);
                endLoop(printed != kExitOk ? printed : code);
            });
    });
}

// The devices the table lists, each given its own cells. The table is checked against the devices
// that answered before any of them is read.
int applyValues(FleetOptions& o, const QString& path, bool dryRun, bool reboot) {
    constexpr std::size_t kMaxTableSize = 16u << 20;
    const tarn::FileContent file = tarn::readWholeFile(path.toStdString(), kMaxTableSize);
    if (file.status != tarn::ReadStatus::Ok) return usageError(QStringLiteral("cannot read '%1'").arg(path));
    const tarn::SiteRead read = tarn::parseSiteTable(file.text);
    if (read.readAsLatin1) QTextStream(stderr) << "tarnctl: " << path << ": " << tarn::kSiteLatin1Notice << '\n';
    if (!read.problems.empty())
        return usageError(
            QStringLiteral("%1:\n%2").arg(path, latin1(tarn::siteProblemsText(read.table, read.problems))));
    if (read.table.devices.empty()) return usageError(QStringLiteral("%1 lists no device").arg(path));
    for (const tarn::SiteDevice& device : read.table.devices) o.filter.macs.push_back(device.mac);

    const tarn::ProductNames names = productNames(o.device.dataDir);
    tarn::SiteDefinitions definitions(o.device.dataDir.toStdString() + "/");
    FleetRun run(o, names);
    tarn::JobRequest request;
    request.kind = tarn::JobKind::Set;
    request.values = tarn::siteValues(read.table);
    request.dryRun = dryRun;
    request.reboot = reboot;
    return runLoop([&] {
        run.start(
            std::move(request),
            [&](const tarn::FleetSelection&, const std::vector<tarn::DeviceEntry>& answered) {
                const auto problems = tarn::checkSiteTable(read.table, answered, definitions);
                if (problems.empty()) return kExitOk;
                return usageError(QStringLiteral("%1: nothing was sent:\n%2")
                                      .arg(path, latin1(tarn::siteProblemsText(read.table, problems))));
            },
            [&](const tarn::OperationOutcomes& outcomes, const std::string&) {
                endLoop(finish(o, outcomes, names, run.stopSignal()));
            });
    });
}

}  // namespace

int runFleetExport(const QStringList& args) {
    QCommandLineParser p;
    p.addOptions(usage(QStringLiteral("fleet export")).options);
    if (!p.parse(QStringList{QStringLiteral("tarnctl fleet export")} + args)) return badOption(p);
    if (!p.isSet("csv")) return usageError(QStringLiteral("fleet export writes a CSV table: add --csv"));
    if (p.isSet("json")) return usageError(QStringLiteral("fleet export writes a CSV table: no --json"));
    if (p.isSet("only") && onlyRows(p).empty()) return usageError(QStringLiteral("--only needs at least one row"));
    if (p.positionalArguments().size() > 1)
        return usageError(
            QStringLiteral("usage: tarnctl fleet export (DIR | fleet options) --csv [--only ROW[,ROW...]]"));
    auto options = readFleetOptions(p);
    if (!options) return kExitUsage;
    if (p.positionalArguments().size() == 1)
        return exportFolder(p.positionalArguments().first(), options->device.dataDir, onlyRows(p));
    return exportDevices(*options, onlyRows(p));
}

int runFleetValues(const QStringList& args) {
    QCommandLineParser p;
    p.addOptions(usage(QStringLiteral("fleet apply")).options);
    if (!p.parse(QStringList{QStringLiteral("tarnctl fleet apply")} + args)) return badOption(p);
    if (!p.positionalArguments().isEmpty())
        return usageError(QStringLiteral("fleet apply takes FILE.CNF or --values TABLE, not both"));
    if (p.isSet("only")) return usageError(QStringLiteral("--only goes with FILE.CNF: a table lists its own rows"));
    if (p.isSet("mac")) return usageError(QStringLiteral("--values chooses the devices by their MACs: no --mac"));
    if (p.isSet("dry-run") && p.isSet("reboot"))
        return usageError(QStringLiteral("--dry-run sends nothing: no --reboot"));
    auto options = readFleetOptions(p);
    if (!options) return kExitUsage;
    options->showPasswords = p.isSet("show-passwords");
    return applyValues(*options, p.value("values"), p.isSet("dry-run"), p.isSet("reboot"));
}

}  // namespace tarnctl
