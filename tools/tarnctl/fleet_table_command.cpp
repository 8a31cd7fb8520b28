// tarnctl fleet export --csv and fleet apply --values: a site's per-device values as a site table
// (core/fleet/site_table.h). The table is written from a backup folder (no device needed) or read
// from the devices; applying one checks every cell against the devices that answered before anything
// is sent.
#include <cstdio>
#include <string>
#include <vector>

#include <QCommandLineParser>
#include <QFileInfo>

#include "core/fleet/site_check.h"
#include "link/common/data_folders.h"
#include "link/common/qt_bytes.h"
#include "tarnctl/commands.h"

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

}  // namespace

int runFleetExport(const QStringList& args) {
    QCommandLineParser p;
    p.addOption({"csv", "Write the table as CSV (the one format)."});
    p.addOption({"only", "Only these rows (names or ids, comma-separated).", "rows"});
    p.addOption({"data-dir", "Folder of prodid.ini, the .dcf files and pwd.ini.", "dir"});
    if (!p.parse(QStringList{QStringLiteral("tarnctl fleet export")} + args)) return badOption(p);
    if (!p.isSet("csv")) return usageError(QStringLiteral("fleet export writes a CSV table: add --csv"));
    if (p.isSet("only") && onlyRows(p).empty()) return usageError(QStringLiteral("--only needs at least one row"));
    if (p.positionalArguments().size() != 1)
        return usageError(QStringLiteral("usage: tarnctl fleet export DIR --csv [--only ROW[,ROW...]]"));
    if (p.isSet("data-dir") && !QFileInfo(p.value("data-dir")).isDir())
        return usageError(QStringLiteral("--data-dir '%1' is not a folder").arg(p.value("data-dir")));
    return exportFolder(p.positionalArguments().first(), tarn::dataFolders(p.value("data-dir")).data, onlyRows(p));
}

}  // namespace tarnctl
