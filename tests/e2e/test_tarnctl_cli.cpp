// tarnctl's conventions: every command's --help, and one JSON shape across probe, params and fleet
// (docs/json.md) against tarn-sim on loopback.
#include <gtest/gtest.h>
#include <map>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "support/sim_process.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

// Every command and subcommand, with options its usage must name.
const std::map<QString, QStringList> kCommands = {
    {"probe", {"--broadcast", "--address", "--all-interfaces", "--wait", "--json"}},
    {"dcf show", {"--json", "--data-dir"}},
    {"params get", {"--address", "--mac", "--group", "--show-passwords", "--id", "--password"}},
    {"params set", {"--address", "--mac", "--device-port", "--wait"}},
    {"reboot", {"--address", "--mac", "--data-dir"}},
    {"cnf save", {"--address", "--id"}},
    {"cnf load", {"--apply", "--mac"}},
    {"fleet backup", {"--product", "--version", "--name", "--mac", "--spacing", "--json"}},
    {"fleet apply", {"--only", "--values", "--dry-run", "--reboot", "--product"}},
    {"fleet export", {"--csv", "--only", "--name"}},
    {"io status", {"--host", "--port", "--serial", "--baud", "--json"}},
    {"io output", {"--macro", "--pulse", "--power-recovery"}},
    {"io adc", {"--switch", "--reference"}},
    {"io watch", {"--interval", "--count", "--csv"}},
};

// Each option a usage lists is one its command takes: given it (with a value when it takes one) and
// a stray argument that stops the command before anything is sent, the command objects to the
// argument, never to the option.
TEST(TarnctlHelp, EveryCommandPrintsItsUsageAndTakesTheOptionsItNames) {
    const QRegularExpression optionLine(QStringLiteral("^  --([a-z-]+)(?:, --([a-z-]+))?( [A-Z|]+)?"),
                                        QRegularExpression::MultilineOption);
    for (const auto& [command, named] : kCommands) {
        const QStringList words = command.split(' ');
        for (const char* flag : {"--help", "-h"}) {
            const RunResult help = runProgram(tarnctlPath(), words + QStringList{flag});
            ASSERT_EQ(help.exitCode, 0) << command.toStdString() << ' ' << help.err.toStdString();
            // The io commands name their link first: "tarnctl io LINK-OPTION... watch ...".
            const QString synopsis = help.out.section('\n', 0, 0);
            EXPECT_TRUE(synopsis.startsWith("Usage: tarnctl " + words.first()) && synopsis.contains(words.last()))
                << help.out.toStdString();
            EXPECT_TRUE(help.out.contains("Exit status:\n 0")) << command.toStdString();
            for (const QString& option : named)
                EXPECT_TRUE(help.out.contains("  " + option)) << command.toStdString() << ": " << option.toStdString();
        }
        const RunResult help = runProgram(tarnctlPath(), words + QStringList{"--help"});
        EXPECT_EQ(runProgram(tarnctlPath(), QStringList{"help"} + words).out, help.out) << command.toStdString();
        for (auto m = optionLine.globalMatch(help.out); m.hasNext();) {
            const auto match = m.next();
            QStringList args = words + QStringList{"--" + match.captured(1)};
            if (!match.captured(3).isEmpty()) args << "1";
            if (match.captured(1) == "pulse")
                args << "1"
                     << "1";
            const RunResult r = runProgram(tarnctlPath(), args + QStringList{"stray-1", "stray-2"});
            EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString() << ": " << r.err.toStdString();
            EXPECT_FALSE(r.err.contains("unrecognized option") || r.err.contains("unknown option"))
                << args.join(' ').toStdString() << ": " << r.err.toStdString();
        }
    }
    const RunResult all = runProgram(tarnctlPath(), {"--help"});
    EXPECT_EQ(all.exitCode, 0);
    for (const char* group : {"probe", "dcf", "params", "reboot", "cnf", "fleet", "io"})
        EXPECT_TRUE(all.out.contains(QStringLiteral("\n  %1 ").arg(group))) << group;
    const RunResult bad = runProgram(tarnctlPath(), {"params", "get", "--colour"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "tarnctl: unrecognized option '--colour' (try 'tarnctl --help')\n");
}

// Every value of a document, with its path, depth first.
void walk(const QJsonValue& value, const QString& path, std::vector<std::pair<QString, QJsonValue>>& out) {
    out.emplace_back(path, value);
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) walk(it.value(), path + '.' + it.key(), out);
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) walk(array[i], path + QStringLiteral("[%1]").arg(i), out);
    }
}

TEST(TarnctlJson, ProbeParamsAndFleetShareOneShape) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--fleet", sourceDir() + "/tests/e2e/fleets/tarnctl_json.json", "--device-port", "0",
                           "--data-dir", dataDir()}))
        << sim.output().toStdString();
    const QString data = scratchDataDir();
    const QStringList common{"--device-port", QString::number(sim.devicePort()), "--data-dir", data};
    const RunResult probe = runProgram(
        tarnctlPath(), QStringList{"probe", "--json", "--address", "127.0.23.1-127.0.23.2", "--wait", "500"} + common);
    const RunResult params = runProgram(tarnctlPath(), QStringList{"params", "get", "--json", "--address", "127.0.23.1",
                                                                   "--id", "admin", "--password", "admin"} +
                                                           common);
    const RunResult fleet =
        runProgram(tarnctlPath(), QStringList{"fleet", "backup", data + "/backup", "--json", "--broadcast",
                                              "127.255.255.255", "--wait", "500", "--mac", "02:00:00:00:23:01", "--mac",
                                              "02:00:00:00:23:02", "--id", "admin", "--password", "admin"} +
                                      common);
    std::map<QString, std::vector<QJsonObject>> devicesByMac;
    for (const RunResult* r : {&probe, &params, &fleet}) {
        ASSERT_EQ(r->exitCode, 0) << r->err.toStdString();
        QJsonParseError error;
        const QJsonObject document = QJsonDocument::fromJson(r->out.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << r->out.toStdString();
        EXPECT_EQ(document["schema"], 2) << r->out.toStdString();
        QJsonArray devices = document["devices"].toArray();
        if (document.contains("device")) devices.append(document["device"]);
        for (const QJsonValue& d : devices) devicesByMac[d["mac"].toString()].push_back(d.toObject());
        std::vector<std::pair<QString, QJsonValue>> values;
        walk(document, "", values);
        for (const auto& [path, value] : values) {
            // Numbers are numbers: no text holds a number with its unit, or a padded one.
            const QString text = value.toString();
            EXPECT_FALSE(text.endsWith(' ') || QRegularExpression("^-?[0-9.]+ +\\S+$").match(text).hasMatch())
                << path.toStdString() << " = \"" << text.toStdString() << '"';
            if (path.endsWith(".productId")) {
                EXPECT_TRUE(value.isDouble()) << path.toStdString();
            }
        }
    }
    // A device has the same keys and values in every document that names it.
    ASSERT_EQ(devicesByMac.size(), 2u);
    EXPECT_EQ(devicesByMac["02:00:00:00:23:01"].size(), 3u);
    for (const auto& [mac, seen] : devicesByMac) {
        for (const QJsonObject& d : seen) {
            for (const QString key : {"address", "mac", "name", "product", "productId", "version"})
                EXPECT_EQ(d[key], seen.front()[key]) << mac.toStdString() << ' ' << key.toStdString();
        }
    }
    EXPECT_EQ(devicesByMac["02:00:00:00:23:01"].front()["product"], "TARN-IO");
    EXPECT_EQ(devicesByMac["02:00:00:00:23:02"].front()["productId"], 75);
    // A row with a unit holds a number, or the name of a defined value ("Off").
    int withUnit = 0;
    for (const QJsonValue& row : QJsonDocument::fromJson(params.out.toUtf8())["parameters"].toArray()) {
        if (!row["unit"].isString()) continue;
        ++withUnit;
        EXPECT_TRUE(row["value"].isDouble() || !row["value"].toString().contains(QRegularExpression("[0-9]")))
            << row["name"].toString().toStdString();
    }
    EXPECT_GT(withUnit, 0);
}

}  // namespace
}  // namespace tarn::test
