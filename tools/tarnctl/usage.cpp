#include "tarnctl/usage.h"

#include <QTextStream>

#include "tarnctl/options.h"

namespace tarnctl {

namespace {

const QString kDeviceExit = QStringLiteral(
    " 0  done: the device answered and every value went through\n"
    " 1  the device refused the ID or password, or answered with a failure\n"
    " 2  a bad argument, a value the parameter cannot take (nothing is sent), an\n"
    "    unusable file or ID/password, or no device answering\n"
    " 3  a reply missing after the wait, or a broken reply\n"
    " 4  the device took an ID and password that pwd.ini could not be written with\n");

const QString kFleetExit = QStringLiteral(
    " 0    every selected device succeeded\n"
    " 1    a device failed, or the run selects nothing\n"
    " 2    a bad argument, an unusable file or folder, or a value the devices cannot\n"
    "      take (nothing is sent)\n"
    " 4    pwd.ini could not be written\n"
    " 130  SIGINT, 143 SIGTERM: stopped after the device in flight\n");

const QString kIoExit = QStringLiteral(
    " 0    success\n"
    " 1    the device answered with a failure, or gave no valid answer\n"
    " 2    a bad argument, or a link failure\n"
    " 130  SIGINT, 143 SIGTERM: watch stopped\n");

std::vector<Usage> makeUsages() {
    const QString device = QStringLiteral("(--address IP | --mac MAC) [DEVICE-OPTION]...");
    const QString fleet = QStringLiteral("[FLEET-OPTION]...");
    return {
        {"probe",
         {"[--broadcast ADDR] [--all-interfaces] [--address LIST] [--device-port N] [--wait MS] [--json]"},
         "Discover devices: sends the discovery probe (broadcast, or to each typed address) and lists\n"
         "every device that answers within --wait milliseconds after the last probe.",
         options({Option::ProbeBroadcast, Option::AddressList, Option::DevicePort, Option::ProbeWait,
                  Option::ProbeAllInterfaces, Option::MaxDevices, Option::DataDir, Option::Json}),
         " 0  devices listed\n 2  a bad argument, the probe could not be sent, or no device answered\n"},
        {"dcf show",
         {"FILE [--json] [--data-dir DIR]"},
         "Check a device configuration file: prints the definition set FILE expands to, or why it is\n"
         "refused. A bare file name not in the current folder is taken from the data folder.",
         options({Option::Json, Option::DataDir}),
         " 0  the file is usable\n 2  a bad argument, or the file cannot be found or used\n"},
        {"params get",
         {"[--group N] [--json] [--show-passwords] " + device},
         "Read the device's parameters and print them as the window's list shows them.",
         deviceOptions() + options({Option::Group, Option::Json, Option::ShowPasswords}),
         kDeviceExit},
        {"params set",
         {"NAME_OR_ID=VALUE... " + device},
         "Set parameters: every value is checked before anything is sent.",
         deviceOptions(),
         kDeviceExit},
        {"reboot", {device}, "Reboot the device.", deviceOptions(), kDeviceExit},
        {"cnf save",
         {"FILE " + device},
         "Save the device's values as a configuration file (.CNF).",
         deviceOptions(),
         kDeviceExit},
        {"cnf load",
         {"FILE [--apply] [--show-passwords] " + device},
         "Show what a configuration file would change on the device; --apply sets it.",
         deviceOptions() + options({Option::Apply, Option::ShowPasswords}),
         kDeviceExit},
        {"fleet backup",
         {"DIR " + fleet},
         "Back up every selected device: DIR/<MAC>.CNF per device and DIR/fleet.json, into a new or\n"
         "empty folder.",
         fleetOptions(),
         kFleetExit},
        {"fleet apply",
         {"FILE.CNF [--only ROW[,ROW...]] [--dry-run [--show-passwords]] [--reboot] " + fleet,
          "--values TABLE.csv [--dry-run [--show-passwords]] [--reboot] " + fleet},
         "Apply the file's rows to every selected device of its product and version, or give each\n"
         "device listed in a site table its own values. Everything is checked before anything is sent.",
         fleetOptions() +
             options({Option::Only, Option::Values, Option::DryRun, Option::ShowPasswords, Option::Reboot}),
         kFleetExit},
        {"fleet export",
         {"(DIR | " + fleet + ") --csv [--only ROW[,ROW...]]"},
         "Write the site table of a backup folder, or of the devices, to standard output.",
         fleetOptions() + options({Option::Csv, Option::Only}),
         kFleetExit},
        {"io status", {"io LINK-OPTION... status [--json]"}, "Read the ports' states.", ioOptions(), kIoExit},
        {"io switch",
         {"io LINK-OPTION... switch N on|off [--json]"},
         "Switch output N (1 to 10).",
         ioOptions(),
         kIoExit},
        {"io config", {"io LINK-OPTION... config [--json]"}, "Read the configuration blocks.", ioOptions(), kIoExit},
        {"io serial",
         {"io LINK-OPTION... serial [--json]"},
         "Read the serial number and firmware version.",
         ioOptions(),
         kIoExit},
        {"io run-mode", {"io LINK-OPTION... run-mode"}, "Return the device to run mode.", ioOptions(), kIoExit},
        {"io setting-mode",
         {"io LINK-OPTION... setting-mode"},
         "Put the device in setting mode.",
         ioOptions(),
         kIoExit},
        {"io output",
         {"io LINK-OPTION... output N [--enable|--disable] [--macro EXPR|--no-macro]\n"
          "    [--delay-on T|--delay-off T|--pulse ON OFF|--no-delay-pulse] [--power-recovery on|off]"},
         "Show output N's settings, or change those the options name.",
         ioOptions(),
         kIoExit},
        {"io input",
         {"io LINK-OPTION... input N [--enable|--disable]"},
         "Show input N's settings, or enable or disable it.",
         ioOptions(),
         kIoExit},
        {"io adc",
         {"io LINK-OPTION... adc N [--level|--switch LEVEL] [--reference avcc|inside|outside]"},
         "Show ADC port N's settings, or change them.",
         ioOptions(),
         kIoExit},
        {"io watch",
         {"io LINK-OPTION... watch [--interval S] [--count N] [--csv|--json]"},
         "Print a status line per poll until stopped (SIGINT, SIGTERM) or --count polls; lines are whole.",
         ioOptions(),
         kIoExit},
    };
}

constexpr int kNamesWidth = 24;
constexpr int kLineWidth = 79;

// "  --wait MS                How long ..." with the description wrapped beside the names.
QString optionLine(const QCommandLineOption& o) {
    QString names;
    for (const QString& name : o.names()) names += (names.isEmpty() ? "--" : ", --") + name;
    if (!o.valueName().isEmpty()) names += ' ' + o.valueName().toUpper();
    QString text = o.description();
    if (!o.defaultValues().isEmpty()) text += QStringLiteral(" Default: %1.").arg(o.defaultValues().join(','));
    const QString indent(kNamesWidth + 3, ' ');
    QString out = QStringLiteral("  %1 ").arg(names, -kNamesWidth);
    if (names.size() > kNamesWidth) out = "  " + names + '\n' + indent;
    qsizetype column = indent.size();
    for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
        if (column > indent.size() && column + 1 + word.size() > kLineWidth) {
            out += '\n' + indent;
            column = indent.size();
        } else if (column > indent.size()) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out + '\n';
}

}  // namespace

const std::vector<Usage>& usages() {
    static const std::vector<Usage> all = makeUsages();
    return all;
}

const Usage& usage(const QString& command) {
    for (const Usage& u : usages()) {
        if (u.command == command) return u;
    }
    std::abort();  // a command without its usage is a mistake of this program, not of its user
}

QString usageText(const std::vector<const Usage*>& shown) {
    QString text;
    QList<QCommandLineOption> options;
    QStringList named;
    for (const Usage* u : shown) {
        const QString group = u->command.section(' ', 0, 0);
        for (const QString& s : u->synopsis) {
            // The io commands name their link first: "io LINK-OPTION... watch ...".
            const QString line = s.startsWith(group + ' ') ? s : u->command + ' ' + s;
            text += QStringLiteral("%1 tarnctl %2\n").arg(text.isEmpty() ? "Usage:" : "   or:", line);
        }
        for (const QCommandLineOption& o : u->options) {
            if (named.contains(o.names().first())) continue;
            named << o.names().first();
            options << o;
        }
    }
    if (shown.size() == 1) {
        text += '\n' + shown.front()->description + '\n';
    } else {
        for (const Usage* u : shown)
            text += QStringLiteral("\n%1:\n  %2\n").arg(u->command, QString(u->description).replace('\n', "\n  "));
    }
    text += "\nOptions:\n";
    for (const QCommandLineOption& o : options) text += optionLine(o);
    text += QStringLiteral("  -h, --help               display this help and exit\n\nExit status:\n");
    for (const Usage* u : shown) {
        if (u == shown.front() || u->exitStatus != shown.front()->exitStatus)
            text += (u == shown.front() ? "" : "\n" + u->command + ":\n") + u->exitStatus;
    }
    return text;
}

bool printHelpIfAsked(const QString& command, const QStringList& args) {
    const qsizetype end = args.indexOf(QStringLiteral("--"));
    const QStringList before = end < 0 ? args : args.mid(0, end);
    if (!before.contains(QStringLiteral("--help")) && !before.contains(QStringLiteral("-h"))) return false;
    // The subcommand the arguments name, else every subcommand of the command.
    std::vector<const Usage*> shown;
    for (const Usage& u : usages()) {
        if (u.command.section(' ', 0, 0) != command) continue;
        if (u.command == command || before.contains(u.command.section(' ', 1))) {
            shown = {&u};
            break;
        }
        shown.push_back(&u);
    }
    QTextStream(stdout) << usageText(shown);
    return true;
}

}  // namespace tarnctl
