// tarnctl's command line: the command table, the help, and the run of one command line (cli.h).
#include "tarnctl/cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <poll.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include "core/common/text.h"
#include "link/common/command_line.h"
#include "link/common/data_folders.h"
#include "link/common/traffic_sink.h"
#include "tarnctl/commands.h"
#include "tarnctl/usage.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const QStringList&);
    const char* summary;
};

const Command kCommands[] = {
    {"probe", tarnctl::runProbe,
     "discover devices: [--broadcast ADDR] [--all-interfaces] [--address IP] [--device-port N]\n"
     "           [--wait MS] [--json]"},
    {"dcf", tarnctl::runDcf, "check a device configuration file: show FILE [--json] [--data-dir DIR]"},
    {"params", tarnctl::runParams,
     "device parameters: get [--group N] [--json] | set NAME_OR_ID=VALUE... (device options)"},
    {"reboot", tarnctl::runReboot, "reboot a device (device options)"},
    {"cnf", tarnctl::runCnf, "configuration files: save FILE | load FILE [--apply] (device options)"},
    {"fleet", tarnctl::runFleet,
     "many devices at once (fleet options):\n"
     "           backup DIR: DIR/<MAC>.CNF per device and DIR/fleet.json\n"
     "           apply FILE.CNF [--only ROW[,ROW...]] [--dry-run] [--reboot]: the file's rows to every\n"
     "             device of its product and version\n"
     "           apply --values TABLE.csv [--dry-run] [--reboot]: each listed device its own values\n"
     "           export (DIR | selection) --csv [--only ROW[,ROW...]]: the site table of a backup\n"
     "             folder or of the devices, to standard output"},
    {"io", tarnctl::runIo,
     "I/O commands: (--host H --port P | --serial PATH [--baud N ...])\n"
     "           status|switch N on|off|config|serial|run-mode|setting-mode [--json]\n"
     "           output N [--enable|--disable] [--macro EXPR|--no-macro]\n"
     "             [--delay-on T|--delay-off T|--pulse ON OFF|--no-delay-pulse] [--power-recovery on|off]\n"
     "           input N [--enable|--disable]\n"
     "           adc N [--level|--switch LEVEL] [--reference avcc|inside|outside]\n"
     "           (a port command without options shows the port's settings)\n"
     "           watch [--interval S] [--count N] [--csv|--json]: a status line per poll until\n"
     "             stopped (SIGINT: exit 130) or N polls"},
};

QString helpText() {
    QString text = QStringLiteral(
        "Usage: tarnctl [--trace] COMMAND [OPTION]...\n"
        "TARN Manager on the command line: discover TARN remote I/O devices, read and\n"
        "set their parameters, save and load parameter sets, and talk to their I/O.\n"
        "\n"
        "Commands:\n");
    for (const auto& c : kCommands) text += QStringLiteral("  %1 %2\n").arg(QLatin1String(c.name), -8).arg(c.summary);
    text += QStringLiteral(
        "\n"
        "'tarnctl COMMAND [SUBCOMMAND] --help' (or 'tarnctl help COMMAND [SUBCOMMAND]') prints\n"
        "the usage of a command.\n"
        "\n"
        "Device options:\n"
        "  (--address IP | --mac MAC [--broadcast ADDR] [--all-interfaces]) [--device-port N]\n"
        "  [--data-dir DIR] [--id ID (--password-file FILE | --password PW)] [--wait MS]\n"
        "\n"
        "Fleet options:\n"
        "  discovery  [--broadcast ADDR] [--all-interfaces] [--device-port N] [--wait MS]\n"
        "             [--data-dir DIR]   (--wait: how long the probe collects replies)\n"
        "  selection  [--product NAME] [--version X.Y] [--name GLOB] [--mac MAC]...\n"
        "             (none: every device that answers)\n"
        "  [--id ID (--password-file FILE | --password PW)]  for the devices pwd.ini does\n"
        "             not know; FILE '-' is standard input; TARNCTL_PASSWORD is read too\n"
        "  [--spacing MS]  between devices, default 100   [--json]  print the index\n"
        "  Each requested device gets a line: MAC, address, name, status (ok, refused,\n"
        "  no-reply, no-definitions, failed, skipped, duplicate, cancelled), file or\n"
        "  message. A --mac no device answers is no-reply; two devices with one MAC are\n"
        "  both duplicate and neither is touched. A backup goes into a new or empty\n"
        "  folder only. SIGINT or SIGTERM ends the run after the device in flight\n"
        "  (the rest cancelled, fleet.json written whole; exit 130 or 143). A fleet\n"
        "  exits 0 when every selected device succeeded, 1 when any failed or the run\n"
        "  selects nothing, 2 for a bad argument, an unusable file or folder, or a value\n"
        "  the devices cannot take (nothing is sent).\n"
        "\n"
        "Options:\n"
        "      --trace    print every datagram and I/O frame sent and received on standard\n"
        "                 error, with passwords masked\n"
        "  -h, --help     display this help and exit\n"
        "      --version  output version information and exit\n"
        "\n"
        "Exit status:\n"
        " 0  done: every device answered and every value went through\n"
        " 1  the device refused the ID or password, or answered with a failure\n"
        " 2  a bad argument, a value the parameter cannot take (nothing is sent),\n"
        "    an unusable file or ID/password, or no device answering\n"
        " 3  a reply missing after the wait, or a broken reply\n"
        " 4  the device took an ID and password that pwd.ini could not be written with\n"
        "\n");
    return text + tarn::dataFoldersHelp();
}

// --trace: the traffic log on standard error, one entry at a time.
class TracePrinter : public tarn::TrafficSink {
public:
    void record(tarn::TrafficEntry entry) override {
        const std::string text = tarn::formatTrafficEntry(entry);
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
};

}  // namespace

namespace tarnctl {

QString terminalText(const QString& message) {
    QString out;
    out.reserve(message.size());
    for (const QChar c : message) {
        // Latin-1 characters (what devices send) by the rule of standard output; the others as they are.
        if (c.unicode() > 0xFF || c == '\n')
            out += c;
        else
            out += QString::fromLatin1(tarn::escapeControlCharacters(std::string(1, static_cast<char>(c.unicode()))));
    }
    return out;
}

int checkOutput() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return kExitOk;
    const int error = errno;
    // The reader of a pipe is gone: the write end then polls as an error.
    pollfd out{STDOUT_FILENO, 0, 0};
    if (error == EPIPE || (::poll(&out, 1, 0) == 1 && (out.revents & POLLERR))) return kExitBrokenPipe;
    QTextStream(stderr) << "tarnctl: standard output could not be written: " << std::strerror(error) << '\n';
    return kExitUsage;
}

int usageError(const QString& message) {
    QTextStream(stderr) << "tarnctl: " << terminalText(message) << '\n';
    return kExitUsage;
}

int badOption(const QCommandLineParser& parser) {
    return tarn::cli::badUsage(QStringLiteral("tarnctl"), tarn::cli::parseError(parser));
}

}  // namespace tarnctl

namespace tarnctl {

int run(QStringList args) {
    const QString program = QStringLiteral("tarnctl");
    if (args.isEmpty()) return tarn::cli::badUsage(program, QStringLiteral("missing command"));
    TracePrinter tracePrinter;
    // The printer ends with the run: so does its place as the traffic sink.
    struct SinkReset {
        bool set = false;
        ~SinkReset() {
            if (set) tarn::setTrafficSink(nullptr);
        }
    } sinkReset;
    if (args.first() == QLatin1String("--trace")) {
        args.removeFirst();
        tarn::setTrafficSink(&tracePrinter);
        sinkReset.set = true;
        if (args.isEmpty()) return tarn::cli::badUsage(program, QStringLiteral("missing command after --trace"));
    }
    QString name = args.takeFirst();
    // `tarnctl help CMD [SUB]` is `tarnctl CMD [SUB] --help`.
    if (name == QLatin1String("help") && !args.isEmpty() && !args.first().startsWith('-')) {
        name = args.takeFirst();
        args.append(QStringLiteral("--help"));
        if (std::none_of(std::begin(kCommands), std::end(kCommands),
                         [&](const Command& c) { return name == QLatin1String(c.name); }))
            return tarn::cli::badUsage(program, QStringLiteral("unknown command '%1'").arg(name));
    }
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help"))
        return tarn::cli::printHelp(helpText());
    if (name == QLatin1String("--version")) return tarn::cli::printVersion(program);
    for (const auto& c : kCommands) {
        if (name != QLatin1String(c.name)) continue;
        if (tarnctl::printHelpIfAsked(name, args)) return tarnctl::checkOutput();
        const int code = c.run(args);
        // Every command's output is checked once at the end; watch checks each line.
        const int output = tarnctl::checkOutput();
        return output != tarnctl::kExitOk ? output : code;
    }
    if (name.startsWith('-')) return tarn::cli::badUsage(program, QStringLiteral("unrecognized option '%1'").arg(name));
    return tarn::cli::badUsage(program, QStringLiteral("unknown command '%1'").arg(name));
}

}  // namespace tarnctl
