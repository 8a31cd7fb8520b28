// tarnctl cnf save|load: the configuration files (.CNF) of TARN Manager for one device. Saving writes
// the values the device has now; loading shows what the file would change and, with --apply, sets it.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QTextStream>

#include "core/common/text.h"
#include "core/manage/configuration_commands.h"
#include "core/manage/management_requests.h"
#include "core/params/configuration_file.h"
#include "tarnctl/commands.h"
#include "tarnctl/device_session.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/usage.h"

namespace tarnctl {

namespace {

int save(DeviceSession& device, const std::string& chosen) {
    const std::string path = tarn::configurationSavePath(chosen);
    QString problem;
    if (const int code = saveDeviceValues(device, path, problem); code != kExitOk) return fail(code, problem);
    std::printf("saved %s\n", path.c_str());
    return kExitOk;
}

void load(DeviceSession& device, const std::string& path, bool apply, bool showPasswords, const Done& done) {
    tarn::ParameterTable& table = device.table();
    std::vector<std::string> before;
    for (int r = 0; r < table.recordRowCount(); ++r) before.push_back(table.row(r).value);
    const tarn::StepResult loaded = tarn::loadParameterList(path, {device.device()}, table);
    device.prompter().showReports(loaded);
    if (!loaded) return done(kExitUsage);

    // What a set would write: the rows the file marked.
    std::vector<int> changed;
    int width = 0;
    for (int r = 0; r < table.recordRowCount(); ++r) {
        if (!table.rowModified(r)) continue;
        changed.push_back(r);
        width = std::max(width, static_cast<int>(table.rowLabel(r).size()));
    }
    // The device's own password shows as dots, as the list shows it, unless --show-passwords.
    const auto shown = [&](int r, const std::string& text) {
        return tarn::escapeControlCharacters(tarn::shownText(table, r, text, showPasswords));
    };
    // Latin-1 texts written as UTF-8, as every command writes them.
    QTextStream out(stdout);
    for (int r : changed) {
        out << QStringLiteral("%1 %2 -> %3\n")
                   .arg(latin1(tarn::escapeControlCharacters(table.rowLabel(r))), -width)
                   .arg(latin1(shown(r, before[static_cast<std::size_t>(r)])), latin1(shown(r, table.row(r).value)));
    }
    if (!apply || changed.empty()) return done(kExitOk);
    device.applySet(done);
}

}  // namespace

int runCnf(const QStringList& args) {
    const QString sub = args.value(0);
    const bool isSave = sub == QLatin1String("save");
    if (!isSave && sub != QLatin1String("load"))
        return usageError(
            QStringLiteral("usage: tarnctl cnf save FILE | load FILE [--apply] (--address IP | --mac MAC) "
                           "[--device-port N] [--data-dir DIR] [--id ID --password PW] [--wait MS]"));
    QCommandLineParser p;
    p.addOptions(usage(QStringLiteral("cnf ") + sub).options);
    if (!p.parse(QStringList{QStringLiteral("tarnctl cnf ") + sub} + args.mid(1))) return badOption(p);
    if (p.positionalArguments().size() != 1) return usageError(QStringLiteral("cnf %1 takes one FILE").arg(sub));
    const std::string file = p.positionalArguments().first().toStdString();
    // Only load declares --apply: asking the parser of save about it would warn on every save.
    const bool apply = !isSave && p.isSet("apply");
    return runOnDevice(p, [&](DeviceSession& device) {
        if (isSave) return endLoop(save(device, file));
        load(device, file, apply, !isSave && p.isSet("show-passwords"), endLoop);
    });
}

}  // namespace tarnctl
