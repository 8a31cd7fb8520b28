// Runs a tarnctl command line in-process (tarnctl::run) and takes what it printed: standard output
// and standard error go to files for the run, as a shell would redirect them.
#pragma once

#include <cstdio>
#include <string>
#include <unistd.h>

#include <QStringList>
#include <QTemporaryFile>

#include "tarnctl/cli.h"

namespace tarn::test {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline CliRun runCli(const QStringList& args) {
    QTemporaryFile out, err;
    if (!out.open() || !err.open()) return {};
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(STDOUT_FILENO), savedErr = ::dup(STDERR_FILENO);
    ::dup2(out.handle(), STDOUT_FILENO);
    ::dup2(err.handle(), STDERR_FILENO);
    CliRun run;
    run.exitCode = tarnctl::run(args);
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, STDOUT_FILENO);
    ::dup2(savedErr, STDERR_FILENO);
    ::close(savedOut);
    ::close(savedErr);
    out.seek(0);
    err.seek(0);
    run.out = out.readAll().toStdString();
    run.err = err.readAll().toStdString();
    return run;
}

}  // namespace tarn::test
