// What the three programs share on the command line, in the manner of Debian's tools: --help prints
// the usage text, --version prints "<program> <version>", and a bad option prints one line, with a
// pointer to --help, on the error output and exits with status 2. One line, so that a script's log
// keeps each complaint whole.
#pragma once

#include <QString>

class QCommandLineParser;

namespace tarn::cli {

constexpr int kExitUsage = 2;

// The product's version, from the build.
QString version();

int printHelp(const QString& text);        // to standard output; returns 0
int printVersion(const QString& program);  // "<program> <version>"; returns 0
// "<program>: <message> (try '<program> --help')"; returns kExitUsage.
int badUsage(const QString& program, const QString& message);
// What a parser that failed objects to, e.g. "unrecognized option '--colour'".
QString parseError(const QCommandLineParser& parser);

}  // namespace tarn::cli
