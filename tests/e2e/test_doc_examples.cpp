// The documents say what the programs do: every example of the man pages (packaging/man/*.h2m) and of
// README's command line runs against tarn-sim and succeeds, every option and command of tarnctl's
// --help is in its man page, and README's command summary names only options the programs take.
//
// An example is run as the operator would type it, through bash, with the documented addresses
// mapped onto the simulated fleet (192.168.100.1 is Pump-House-1 at 127.0.0.11, the 10.1.x networks
// are loopback's) and the options that point a program at the simulator added where the example has
// none. Whatever the mapping leaves, nothing is sent to an address outside 127.0.0.0/8.
#include <gtest/gtest.h>
#include <memory>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include "core/manage/credential_log.h"
#include "support/sim_process.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The command lines of a man page's EXAMPLES: each ".B" line, its roff escapes undone.
QStringList manExamples(const QString& page) {
    const QString text = readText(sourceDir() + "/packaging/man/" + page);
    const QString examples = text.section(QStringLiteral("[EXAMPLES]"), 1).section(QStringLiteral("\n["), 0, 0);
    QStringList lines;
    for (QString line : examples.split('\n')) {
        if (!line.startsWith(QLatin1String(".B "))) continue;
        line = line.mid(3).replace(QRegularExpression(QStringLiteral(R"(\\f[BIRP])")), QString());
        lines << line.replace(QLatin1String("\\-"), QLatin1String("-"))
                     .replace(QLatin1String("\\(dq"), QLatin1String("\""));
    }
    return lines;
}

// README: the lines of the sh block after "Examples, on the demo fleet".
QStringList readmeExamples() {
    const QString text = readText(sourceDir() + "/README.md");
    const QString block = text.section(QStringLiteral("Examples, on the demo fleet"), 1)
                              .section(QStringLiteral("```sh\n"), 1)
                              .section("```", 0, 0);
    return block.split('\n', Qt::SkipEmptyParts);
}

// README's command summary: the first code block of "## Command line".
QString readmeSummary() {
    return readText(sourceDir() + "/README.md").section(QStringLiteral("## Command line"), 1).section("```", 1, 1);
}

class DocExamples : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.start({"--fleet", dataDir() + "/demo-fleet.json", "--device-port", "0"}))
            << sim_.output().toStdString();
        port_ = sim_.devicePort();
        ioPort_ = sim_.ioEndpoints().at(QStringLiteral("Pump-House-1")).section(':', 1);
        for (const QString& line : sim_.lines())
            if (line.startsWith(QLatin1String("pty "))) pty_ = line.section(' ', 1, 1);
        ASSERT_FALSE(pty_.isEmpty()) << "the demo fleet has a device on a pseudo-terminal";
    }

    // A fresh working folder and configuration folder per document, the demo's credentials logged
    // (a site's operator has them), and the standard file the fleet example applies.
    void newDocument() {
        home_ = scratchDir();
        QDir(home_).mkpath("config/tarn-manager");
        QDir(home_).mkpath("work");
        QDir(home_).mkpath("tarn");  // the portable folder of tarn-manager's example
        CredentialLog log((home_ + "/config/tarn-manager/pwd.ini").toStdString());
        log.LoadLog();
        const QJsonArray devices = QJsonDocument::fromJson(readText(dataDir() + "/demo-fleet.json").toUtf8())
                                       .object()
                                       .value("devices")
                                       .toArray();
        for (const auto& d : devices) {
            log.AppendEntry();
            log.StoreEntry(d.toObject().value("mac").toString().toStdString(), "admin", "admin", -1);
        }
        ASSERT_TRUE(log.SaveLog());
        ASSERT_EQ(run(mapped(QStringLiteral("tarnctl cnf save standard --address 127.0.0.11"))), 0);
    }

    // The example with its addresses on loopback and the simulator's ports.
    QString mapped(QString line) const {
        line.replace(QLatin1String("192.168.100.1"), QLatin1String("127.0.0.11"))
            .replace(QLatin1String("10.1.2."), QLatin1String("127.0.0."))
            .replace(QLatin1String("10.1.3."), QLatin1String("127.0.1."))
            .replace(QLatin1String("--port 5000"), "--port " + ioPort_)
            .replace(QLatin1String("/dev/ttyUSB0"), pty_)
            .replace(QLatin1String("/usr/share/tarn-manager/"), dataDir() + "/")
            .replace(QLatin1String(" data/demo-fleet.json"), " " + dataDir() + "/demo-fleet.json")
            .replace(QRegularExpression(QStringLiteral(R"(--device-port N\b)")),
                     "--device-port " + QString::number(port_));
        QStringList steps = line.split(QStringLiteral(" && "));
        for (QString& step : steps) {
            const QString program = step.section(' ', 0, 0), command = step.section(' ', 1, 1);
            const bool discovery =
                program == "tarnctl" && QStringList{"probe", "params", "reboot", "cnf", "fleet"}.contains(command);
            const bool broadcast = (command == "probe" && !step.contains("--address")) || command == "fleet";
            // The window's demo runs a simulator of its own and points the window at it.
            const bool window = program == "tarn-manager" && !step.contains("--demo");
            if ((discovery || window) && !step.contains("--device-port"))
                step += " --device-port " + QString::number(port_);
            if (((discovery && broadcast) || window) && !step.contains("--broadcast"))
                step += QStringLiteral(" --broadcast 127.255.255.255");
            if (program == "tarn-manager") step += QStringLiteral(" --quit-after 1500");
        }
        return steps.join(QStringLiteral(" && "));
    }

    int run(const QString& line, QString* output = nullptr) {
        QProcess bash;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", QFileInfo(tarnctlPath()).absolutePath() + ":" + env.value("PATH"));
        env.insert("HOME", home_);
        env.insert("XDG_CONFIG_HOME", home_ + "/config");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        bash.setProcessEnvironment(env);
        bash.setWorkingDirectory(home_ + "/work");
        bash.setProcessChannelMode(QProcess::MergedChannels);
        bash.start("bash", {"-c", line});
        if (!bash.waitForFinished(60000)) {
            bash.kill();
            bash.waitForFinished();
            return -1;
        }
        if (output) *output = QString::fromLocal8Bit(bash.readAll());
        return bash.exitStatus() == QProcess::NormalExit ? bash.exitCode() : -1;
    }

    // Runs a document's examples in order; a `tarn-sim ... &` example starts a simulator of its own,
    // whose port the examples after it mean by N.
    void runExamples(const QString& document, const QStringList& examples) {
        newDocument();
        std::vector<std::unique_ptr<SimProcess>> sims;
        const int fixturePort = port_;
        for (const QString& example : examples) {
            const QString line = mapped(example);
            SCOPED_TRACE((document + ": " + line).toStdString());
            for (const auto& m : QRegularExpression(QStringLiteral(R"(\b(\d+)\.\d+\.\d+\.\d+)")).globalMatch(line))
                ASSERT_EQ(m.captured(1), "127") << "an address off loopback";
            if (line.startsWith(QLatin1String("tarn-sim "))) {  // runs until stopped, in the background or not
                sims.push_back(std::make_unique<SimProcess>());
                const QStringList args = QString(line).remove('&').trimmed().split(' ').mid(1);
                ASSERT_TRUE(sims.back()->start(args)) << sims.back()->output().toStdString();
                port_ = sims.back()->devicePort();
                continue;
            }
            QString output;
            EXPECT_EQ(run(line, &output), 0) << output.toStdString();
        }
        port_ = fixturePort;
        EXPECT_GT(examples.size(), 2) << document.toStdString() << " has no examples";
    }

    SimProcess sim_;
    int port_ = 0;
    QString ioPort_;
    QString pty_;
    QString home_;
};

TEST_F(DocExamples, EveryExampleOfTheManPagesAndTheReadmeRuns) {
    for (const char* page : {"tarnctl.h2m", "tarn-sim.h2m", "tarn-manager.h2m"})
        runExamples(QString::fromLatin1(page), manExamples(QString::fromLatin1(page)));
    runExamples(QStringLiteral("README.md"), readmeExamples());
}

// Every command, subcommand and option that tarnctl's --help names has its place in tarnctl(1), with
// every form of address that --address takes; and README's summary names no option that is not taken.
TEST(DocCoverage, TheManPageHasEveryCommandAndOptionOfTheHelpAndTheReadmeNoOther) {
    const QString page =
        readText(sourceDir() + "/packaging/man/tarnctl.h2m").replace(QLatin1String("\\-"), QLatin1String("-"));
    const QString plain = QString(page).remove(QRegularExpression(QStringLiteral(R"(\\f[BIRP])")));
    const QRegularExpression optionLine(QStringLiteral(R"(^ +(?:-\w, )?(--[a-z-]+)(?:, (--[a-z-]+))?)"),
                                        QRegularExpression::MultilineOption);
    QSet<QString> taken;
    const auto takeOptions = [&](const QString& help) {
        QStringList options;
        for (const auto& m : optionLine.globalMatch(help)) options << m.captured(1) << m.captured(2);
        options.removeAll(QString());
        for (const QString& o : options) taken.insert(o);
        return options;
    };
    const RunResult help = runProgram(tarnctlPath(), {"--help"});
    takeOptions(help.out);
    QStringList usages;
    for (const auto& m :
         QRegularExpression(QStringLiteral(R"(^  ([a-z]+) )"), QRegularExpression::MultilineOption)
             .globalMatch(help.out.section(QStringLiteral("Commands:\n"), 1).section(QStringLiteral("\n\n"), 0, 0)))
        usages << m.captured(1);
    ASSERT_GE(usages.size(), 7);
    for (const QString& command : usages) {
        const RunResult usage = runProgram(tarnctlPath(), {command, "--help"});
        // Each synopsis has an entry (a tag line of its own, or shared as "run-mode | setting-mode").
        for (const auto& m :
             QRegularExpression(
                 QStringLiteral(R"(^(?:Usage:|   or:) tarnctl ([a-z]+(?: LINK-OPTION\.\.\.)?)(?: ([a-z-]+))?)"),
                 QRegularExpression::MultilineOption)
                 .globalMatch(usage.out)) {
            const QRegularExpression entry("^" + QRegularExpression::escape(m.captured(1)) + "(?: (?:.*\\| )?" +
                                               QRegularExpression::escape(m.captured(2)) + "\\b|$| )",
                                           QRegularExpression::MultilineOption);
            EXPECT_TRUE(plain.contains(entry)) << "no entry for " << m.captured(0).toStdString();
        }
        for (const QString& option : takeOptions(usage.out))
            EXPECT_TRUE(plain.contains(option)) << command.toStdString() << ": " << option.toStdString();
    }
    EXPECT_TRUE(plain.contains("help COMMAND"));
    for (const char* form : {"10.1.2.10-10.1.2.50", "10.1.2.10-50", "10.1.3.0/24"})
        EXPECT_TRUE(plain.contains(form)) << form;

    for (const QString& program : {QStringLiteral("tarn-manager"), QStringLiteral("tarn-sim")}) {
        const RunResult usage = runProgram(QFileInfo(tarnctlPath()).absolutePath() + "/" + program, {"--help"});
        for (const auto& m :
             QRegularExpression(QStringLiteral(R"(^ +(?:-\w, )?(--[a-z-]+))"), QRegularExpression::MultilineOption)
                 .globalMatch(usage.out))
            taken.insert(m.captured(1));
    }
    const QString summary = readmeSummary();
    ASSERT_TRUE(summary.contains("tarnctl fleet export"));
    for (const auto& m : QRegularExpression(QStringLiteral(R"((--[a-z][a-z-]*))")).globalMatch(summary))
        EXPECT_TRUE(taken.contains(m.captured(1))) << "README names " << m.captured(1).toStdString();
    for (const QString& command : usages)
        EXPECT_TRUE(summary.contains("tarnctl " + command) || summary.contains("tarnctl [--trace] " + command))
            << command.toStdString();
}

}  // namespace
}  // namespace tarn::test
