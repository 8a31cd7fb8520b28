// The usage of each tarnctl command, as `tarnctl COMMAND [SUBCOMMAND] --help` prints it: its synopsis,
// what it does, its options (the declarations its parser takes, options.h) and its exit statuses.
#pragma once

#include <vector>

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarnctl {

struct Usage {
    QString command;       // "params get"
    QStringList synopsis;  // each after "tarnctl <command> "
    QString description;
    QList<QCommandLineOption> options;
    QString exitStatus;
};

// Every command and subcommand, in the order of `tarnctl --help`.
const std::vector<Usage>& usages();
// The usage of a command ("probe", "fleet apply"); it must be one of usages().
const Usage& usage(const QString& command);
// One usage, or several (the subcommands of a command) with their options once.
QString usageText(const std::vector<const Usage*>& shown);

// `tarnctl COMMAND ARGS...` asks for help: an argument -h or --help before any "--". Then prints the
// usage of the subcommand ARGS name (or of every subcommand of COMMAND) and returns true.
bool printHelpIfAsked(const QString& command, const QStringList& args);

}  // namespace tarnctl
