// tarnctl's command line in-process: what each command refuses before it touches a device or a
// link (message and exit status, as scripts see them), its help, and the end of its output.
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "link/common/traffic_sink.h"
#include "support/cli_run.h"
#include "tarnctl/usage.h"

namespace tarn::test {
namespace {

struct Refusal {
    const char* args;
    const char* message;  // the whole of standard error after "tarnctl: "
};

QStringList split(const char* args) { return QString::fromLatin1(args).split(' ', Qt::SkipEmptyParts); }

TEST(TarnctlCli, RefusesBadCommandLinesWithExitTwoAndOneLine) {
    const std::string usageParams =
        "usage: tarnctl params get [--group N] [--json] [--show-passwords] | set NAME_OR_ID=VALUE... (--address IP "
        "| --mac MAC) [--device-port N] [--data-dir DIR] [--id ID --password PW] [--wait MS]";
    const Refusal cases[] = {
        {"", "missing command (try 'tarnctl --help')"},
        {"frob", "unknown command 'frob' (try 'tarnctl --help')"},
        {"--frob", "unrecognized option '--frob' (try 'tarnctl --help')"},
        {"help frob", "unknown command 'frob' (try 'tarnctl --help')"},
        {"--trace", "missing command after --trace (try 'tarnctl --help')"},
        {"params", usageParams.c_str()},
        {"params set --address 127.0.0.1", "params set needs NAME_OR_ID=VALUE"},
        {"params get --address 127.0.0.1 extra", "unexpected argument 'extra'"},
        {"params get", "give either --address IP or --mac MAC"},
        {"params get --address 1.2.3.4 --mac 02:00:00:00:00:01", "give either --address IP or --mac MAC"},
        {"params get --address nonsense", "--address must be a dotted IPv4 address, not 'nonsense'"},
        {"reboot --address 127.0.0.1 extra", "unexpected argument 'extra'"},
        {"cnf save --address 127.0.0.1", "cnf save takes one FILE"},
        {"cnf load a b --address 127.0.0.1", "cnf load takes one FILE"},
        {"fleet backup", "fleet backup takes one DIR"},
        {"fleet apply", "fleet apply takes one FILE.CNF"},
        {"dcf show", "usage: tarnctl dcf show FILE [--json] [--data-dir DIR]"},
        {"probe --wait x", "--wait must be 0..600000 ms"},
        {"probe --address 300.1.1.1", "--address: '300.1.1.1' is not a dotted IPv4 address"},
        // io: the link, then the subcommand, then the options it takes, then their values.
        {"io status", "give exactly one of --host H --port P or --serial PATH"},
        {"io --host h status --port 0", "bad value for --port: 0"},
        {"io --host h --port 1 --serial /dev/x status", "give exactly one of --host H --port P or --serial PATH"},
        {"io --host h --port 1",
         "io needs a command: status, switch N on|off, config, serial, run-mode, setting-mode, output N, input N, "
         "adc N or watch"},
        {"io --host h --port 1 frob", "unknown io command 'frob'"},
        {"io --host h --port 1 status --csv", "io status takes no --csv"},
        {"io --host h --port 1 input 1 --macro X", "io input takes no --macro"},
        {"io --host h --port 1 adc 1 --enable", "io adc takes no --enable"},
        {"io --host h --port 1 watch --json --csv", "give only one of --json and --csv"},
        {"io --host h --port 1 watch --interval 0", "bad value for --interval: 0"},
        {"io --host h --port 1 status --baud", "--baud needs a value"},
        {"io --serial /dev/x --parity x status", "bad value for --parity: x"},
        {"io --host h --port 1 switch 11 on", "usage: io switch N on|off, N from 1 to 10"},
        {"io --host h --port 1 output 11", "usage: io output N ..., N from 1 to 10"},
        {"io --host h --port 1 output 1 --enable --disable", "give only one of --enable and --disable"},
        {"io --host h --port 1 output 1 --pulse 5", "--pulse needs an on time and an off time"},
        {"io --host h --port 1 output 1 --delay-on 0", "Input Delay On Time !!"},
        {"io --host h --port 1 output 1 --power-recovery maybe", "bad value for --power-recovery: maybe (on or off)"},
        {"io --host h --port 1 adc 1 --reference sun", "bad value for --reference: sun (avcc, inside or outside)"},
    };
    for (const Refusal& c : cases) {
        const CliRun r = runCli(split(c.args));
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_EQ(r.err, std::string("tarnctl: ") + c.message + "\n") << c.args;
        EXPECT_EQ(r.out, "") << c.args;
    }
}

TEST(TarnctlCli, HelpOfEveryCommandAndVersion) {
    const CliRun all = runCli({"--help"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.err, "");
    for (const char* command : {"probe", "dcf", "params", "reboot", "cnf", "fleet", "io"}) {
        EXPECT_NE(all.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
        // `help CMD` is `CMD --help`, and says every option the command's parser takes.
        const CliRun help = runCli({"help", command});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.out, runCli({command, "--help"}).out) << command;
    }
    for (const tarnctl::Usage& u : tarnctl::usages()) {
        const CliRun help = runCli(QString(u.command + " --help").split(' '));
        EXPECT_EQ(help.exitCode, 0) << u.command.toStdString();
        for (const QCommandLineOption& o : u.options)
            EXPECT_NE(help.out.find("--" + o.names().last().toStdString()), std::string::npos)
                << u.command.toStdString() << " --" << o.names().last().toStdString();
    }
    const CliRun version = runCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tarnctl ", 0), 0u) << version.out;
}

// --trace shows the traffic of its own run only.
TEST(TarnctlCli, TraceEndsWithTheRun) {
    ASSERT_EQ(trafficSink(), nullptr);
    EXPECT_EQ(runCli({"--trace", "params"}).exitCode, 2);
    EXPECT_EQ(trafficSink(), nullptr);
}

// A reader that went away is exit 141, as a shell reports a program ended by SIGPIPE; tarnctl ignores
// the signal and sees the failed write.
TEST(TarnctlCli, AClosedOutputPipeEndsWith141) {
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(pipeFds[1], STDOUT_FILENO);
    const int code = tarnctl::run({"params", "--help"});
    std::clearerr(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(pipeFds[1]);
    std::signal(SIGPIPE, previous);
    EXPECT_EQ(code, 141);
}

}  // namespace
}  // namespace tarn::test
