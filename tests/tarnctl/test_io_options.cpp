// tarnctl io's options: read from the one declaration of each (its default included), in any order
// around the subcommand.
#include <gtest/gtest.h>

#include "tarnctl/io_session.h"
#include "tarnctl/options.h"

namespace tarn::test {
namespace {

using tarnctl::parseIoOptions;

TEST(TarnctlIoOptions, DefaultsComeFromTheDeclarationsAndValuesOverrideThem) {
    QString error;
    const auto plain = parseIoOptions({"--serial", "/dev/ttyUSB0", "watch"}, &error);
    ASSERT_TRUE(plain) << error.toStdString();
    EXPECT_EQ(plain->line.baudRate, 9600u);
    EXPECT_EQ(plain->line.parity, 'n');
    EXPECT_EQ(plain->line.dataBits, 8);
    EXPECT_EQ(plain->line.stopBits, 1);
    EXPECT_EQ(plain->intervalMs, 2000);
    EXPECT_TRUE(plain->given.isEmpty());  // a default is not an option given: watch takes it silently

    const auto given =
        parseIoOptions({"watch", "--interval", "0.25", "--serial", "/dev/x", "--baud", "19200", "--parity", "e",
                        "--data-bits", "7", "--stop-bits", "2", "--count", "3", "--csv"},
                       &error);
    ASSERT_TRUE(given) << error.toStdString();
    EXPECT_EQ(given->words, QStringList{"watch"});
    EXPECT_EQ(given->intervalMs, 250);
    EXPECT_EQ(given->count, 3);
    EXPECT_TRUE(given->csv);
    EXPECT_EQ(given->line.baudRate, 19200u);
    EXPECT_EQ(given->line.parity, 'e');
    EXPECT_EQ(given->line.dataBits, 7);
    EXPECT_EQ(given->line.stopBits, 2);
    EXPECT_EQ(given->given, (QStringList{"--interval", "--count", "--csv"}));
    EXPECT_FALSE(tarnctl::unusedIoOptions(*given));

    const auto port = parseIoOptions(
        {"--host", "h", "--port", "502", "output", "3", "--pulse", "5", "7", "--macro", "i1 & o2", "--disable"},
        &error);
    ASSERT_TRUE(port) << error.toStdString();
    EXPECT_EQ(port->words, (QStringList{"output", "3"}));
    EXPECT_EQ(port->portOptions.delayPulseMode, 2);
    EXPECT_EQ(port->portOptions.onTime, "5");
    EXPECT_EQ(port->portOptions.offTime, "7");
    EXPECT_EQ(port->portOptions.macro, "i1 & o2");
    EXPECT_EQ(port->portOptions.enable, false);
    EXPECT_FALSE(tarnctl::unusedIoOptions(*port));
}

// Every option the parser takes is declared, and the help shows each declaration once.
TEST(TarnctlIoOptions, EveryIoOptionIsDeclaredOnce) {
    QStringList names;
    for (const QCommandLineOption& o : tarnctl::ioOptions()) names << o.names();
    EXPECT_EQ(names.size(), static_cast<qsizetype>(QSet<QString>(names.begin(), names.end()).size()));
    for (const char* subcommand :
         {"status", "switch", "config", "serial", "run-mode", "setting-mode", "output", "input", "adc", "watch"})
        for (const QCommandLineOption& o : tarnctl::ioSubcommandOptions(QString::fromLatin1(subcommand)))
            EXPECT_TRUE(names.contains(o.names().first())) << subcommand << " " << o.names().first().toStdString();
}

}  // namespace
}  // namespace tarn::test
