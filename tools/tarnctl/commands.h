// tarnctl's subcommands. Each takes the arguments after its name and returns the process exit code:
// 0 success, 1 the device answered with a failure (or refused the ID or password), 2 bad usage, a
// refused value or a link/file failure, 3 a reply missing or broken (the device commands,
// device_session.h), 4 the device has credentials that pwd.ini could not take.
#pragma once

#include <QStringList>

class QCommandLineParser;

namespace tarnctl {

constexpr int kExitOk = 0;
constexpr int kExitDeviceFailure = 1;
constexpr int kExitUsage = 2;
// The devices took what was asked (an ID, a password), but pwd.ini could not be written.
constexpr int kExitLogNotWritten = 4;
// Standard output is a pipe whose reader is gone (`tarnctl io ... watch | head -3`): 128 + SIGPIPE,
// as a shell reports a program that SIGPIPE ended.
constexpr int kExitBrokenPipe = 141;

// Whether what was written to standard output got there: 0, else the exit code (kExitBrokenPipe
// when the reader is gone, kExitUsage after a message for any other write error, a full disk say).
int checkOutput();

int runProbe(const QStringList& args);
int runDcf(const QStringList& args);
int runIo(const QStringList& args);
int runParams(const QStringList& args);
int runReboot(const QStringList& args);
int runCnf(const QStringList& args);
int runFleet(const QStringList& args);
// fleet export and fleet apply --values: site tables (fleet_table_command.cpp).
int runFleetExport(const QStringList& args);
int runFleetValues(const QStringList& args);

// A message as standard error shows it: what came from a device (a name with "ESC ] 0 ;") escaped
// by the rule of standard output, its line ends kept. Every message on standard error goes through it.
QString terminalText(const QString& message);
// Prints "tarnctl: <message>" on standard error and returns kExitUsage.
int usageError(const QString& message);
// The same for an option the parser refused, with a pointer to --help.
int badOption(const QCommandLineParser& parser);

}  // namespace tarnctl
