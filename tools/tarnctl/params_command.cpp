// tarnctl params get|set and tarnctl reboot: the parameter list, Set and Reboot of TARN Manager for
// one device, without the window. The rows, the requests and every reply rule are the session's.
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "core/common/text.h"
#include "core/manage/management_requests.h"
#include "tarnctl/commands.h"
#include "tarnctl/device_session.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/json_output.h"
#include "tarnctl/usage.h"

namespace tarnctl {

namespace {

struct ShownRow {
    int index;  // position in the list
    std::string id;
    const tarn::ParameterRow* row;
};

// The rows as the list shows them: hidden records and the set-up row are not parameters.
std::vector<ShownRow> shownRows(tarn::ParameterTable& table) {
    std::vector<ShownRow> rows;
    for (int r = 0; r < table.recordRowCount(); ++r) {
        if (table.rowShown(r)) rows.push_back({r, table.recordOfRow(r)->id, &table.row(r)});
    }
    return rows;
}

void printParameters(DeviceSession& device, const std::vector<ShownRow>& rows, bool showPasswords) {
    QJsonArray parameters;
    const tarn::ParameterTable& table = device.table();
    for (const ShownRow& s : rows)
        parameters.append(parameterJson(table, s.index, tarn::shownValue(table, s.index, showPasswords)));
    printJson(jsonDocument(
        {{"device", deviceJson(device.device(), productNames(device.options().dataDir))}, {"parameters", parameters}}));
}

void printTable(const tarn::ParameterTable& table, const std::vector<ShownRow>& rows, bool showPasswords) {
    int idWidth = 2, classWidth = 5, nameWidth = 9;
    for (const ShownRow& s : rows) {
        idWidth = std::max(idWidth, static_cast<int>(s.id.size()));
        classWidth = std::max(classWidth, static_cast<int>(s.row->classText.size()));
        nameWidth = std::max(nameWidth, static_cast<int>(s.row->name.size()));
    }
    QTextStream out(stdout);
    const auto line = [&](const QString& index, const std::string& id, const std::string& classText,
                          const std::string& name, const std::string& value) {
        out << QStringLiteral("%1 %2 %3 %4 %5\n")
                   .arg(index, -4)
                   .arg(latin1(tarn::escapeControlCharacters(id)), -idWidth)
                   .arg(latin1(tarn::escapeControlCharacters(classText)), -classWidth)
                   .arg(latin1(tarn::escapeControlCharacters(name)), -nameWidth)
                   .arg(latin1(tarn::escapeControlCharacters(value)));
    };
    line(QStringLiteral("#"), "id", "class", "parameter", "value");
    for (const ShownRow& s : rows)
        line(QString::number(s.index), s.id, s.row->classText, s.row->name,
             tarn::shownValue(table, s.index, showPasswords));
}

// NAME_OR_ID=VALUE, split at the first "=".
std::optional<std::pair<std::string, std::string>> assignment(const QString& arg) {
    const qsizetype eq = arg.indexOf('=');
    if (eq <= 0) return std::nullopt;
    return std::pair{tarn::latin1Bytes(arg.left(eq)), tarn::latin1Bytes(arg.mid(eq + 1))};
}

void print(DeviceSession& device, bool json, bool showPasswords) {
    const std::vector<ShownRow> rows = shownRows(device.table());
    if (json)
        printParameters(device, rows, showPasswords);
    else
        printTable(device.table(), rows, showPasswords);
}

void get(DeviceSession& device, const QCommandLineParser& p, const Done& done) {
    bool ok = false;
    const int group = p.value("group").toInt(&ok);
    const tarn::DefinitionSet* set = device.session().definitions().current();
    const int groups = set ? set->groupCount() : 0;
    if (!ok || group < 0 || group >= groups)
        return done(usageError(QStringLiteral("--group must be 0..%1 for this device").arg(groups - 1)));
    const bool json = p.isSet("json");
    const bool showPasswords = p.isSet("show-passwords");
    if (group == 0) {
        print(device, json, showPasswords);
        return done(kExitOk);
    }
    device.run([&device, group] { device.session().SelectGroup(group); },
               [&device, json, showPasswords, done](int code) {
                   if (code == kExitOk) print(device, json, showPasswords);
                   done(code);
               });
}

// The values go into the rows as typed and are marked; the set checks every one of them before it
// sends anything (a refused value: its message, exit 2, nothing sent).
void set(DeviceSession& device, const std::vector<std::pair<std::string, std::string>>& changes, const Done& done) {
    tarn::ParameterTable& table = device.table();
    for (const auto& [name, value] : changes) {
        const std::vector<int> rows = table.findRows(name);
        if (rows.empty()) return done(usageError(QStringLiteral("no parameter '%1' on this device").arg(latin1(name))));
        // A name shared by the instances of a class ("Input mode" of every input) is no one row.
        if (rows.size() > 1)
            return done(usageError(QStringLiteral("'%1' names %2 rows; give the id of the one to set: %3")
                                       .arg(latin1(name))
                                       .arg(rows.size())
                                       .arg(latin1(table.rowIds(rows)))));
        const int r = rows.front();
        table.setValue(r, value);
        table.setModified(table.row(r).record, true);
    }
    device.applySet(done);
}

}  // namespace

int runParams(const QStringList& args) {
    const QString sub = args.value(0);
    if (sub != QLatin1String("get") && sub != QLatin1String("set"))
        return usageError(QStringLiteral(
            "usage: tarnctl params get [--group N] [--json] [--show-passwords] | set NAME_OR_ID=VALUE... "
            "(--address IP | --mac MAC) [--device-port N] [--data-dir DIR] [--id ID --password PW] "
            "[--wait MS]"));
    const bool isGet = sub == QLatin1String("get");
    QCommandLineParser p;
    p.addOptions(usage(QStringLiteral("params ") + sub).options);
    if (!p.parse(QStringList{QStringLiteral("tarnctl params ") + sub} + args.mid(1))) return badOption(p);
    std::vector<std::pair<std::string, std::string>> changes;
    for (const QString& arg : p.positionalArguments()) {
        const auto change = assignment(arg);
        if (isGet || !change) return usageError(QStringLiteral("unexpected argument '%1'").arg(arg));
        changes.push_back(*change);
    }
    if (!isGet && changes.empty()) return usageError(QStringLiteral("params set needs NAME_OR_ID=VALUE"));
    return runOnDevice(p, [&](DeviceSession& device) {
        if (isGet)
            get(device, p, endLoop);
        else
            set(device, changes, endLoop);
    });
}

int runReboot(const QStringList& args) {
    QCommandLineParser p;
    p.addOptions(usage(QStringLiteral("reboot")).options);
    if (!p.parse(QStringList{QStringLiteral("tarnctl reboot")} + args)) return badOption(p);
    if (!p.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));
    return runOnDevice(p, [&](DeviceSession& device) {
        device.run([&] { device.session().reboot(); },
                   [&](int rebooted) {
                       if (rebooted != kExitOk) return endLoop(rebooted);
                       endLoop(device.rebootsDone() > 0
                                   ? kExitOk
                                   : fail(kExitNoReply, QStringLiteral("the device did not confirm the reboot")));
                   });
    });
}

}  // namespace tarnctl
