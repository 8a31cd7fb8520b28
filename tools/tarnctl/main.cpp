// tarnctl: the headless command-line face of TARN Manager.
#include <cstdio>

#include <QCoreApplication>
#include <QTextStream>

#include "tarnctl/commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const QStringList&);
    const char* summary;
};

const Command kCommands[] = {
    {"probe", tarnctl::runProbe,
     "discover devices: [--broadcast ADDR] [--address IP] [--device-port N] [--wait MS] [--json]"},
    {"dcf", tarnctl::runDcf, "check a device configuration file: show FILE [--json]"},
    {"params", tarnctl::runParams,
     "device parameters: get [--group N] [--json] | set NAME_OR_ID=VALUE... (device options)"},
    {"reboot", tarnctl::runReboot, "reboot a device (device options)"},
    {"cnf", tarnctl::runCnf, "configuration files: save FILE | load FILE [--apply] (device options)"},
    {"io", tarnctl::runIo,
     "I/O commands: (--host H --port P | --serial PATH [--baud N ...]) status|switch N "
     "on|off|config|serial|run-mode|setting-mode [--json]"},
};

int printUsage(FILE* to) {
    std::fprintf(to, "usage: tarnctl <command> [options]\n\ncommands:\n");
    for (const auto& c : kCommands) std::fprintf(to, "  %-8s %s\n", c.name, c.summary);
    std::fprintf(to,
                 "\ndevice options: --address IP [--device-port N] [--data-dir DIR] [--id ID --password PW] "
                 "[--wait MS]\nexit codes: 0 done, 1 refused ID or password, 2 bad argument, unusable file or no "
                 "device, 3 no reply\n");
    return to == stdout ? tarnctl::kExitOk : tarnctl::kExitUsage;
}

}  // namespace

namespace tarnctl {

int usageError(const QString& message) {
    QTextStream(stderr) << "tarnctl: " << message << '\n';
    return kExitUsage;
}

}  // namespace tarnctl

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnctl"));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return printUsage(stderr);
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("help")) return printUsage(stdout);
    for (const auto& c : kCommands) {
        if (name == QLatin1String(c.name)) return c.run(args);
    }
    return tarnctl::usageError(QStringLiteral("unknown command '%1' (try tarnctl --help)").arg(name));
}
