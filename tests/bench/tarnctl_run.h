// Runs tarnctl as a child of a benchmark and reads its peak resident size while it runs (VmHWM of
// /proc/PID/status). The rusage of wait4 would not do: a spawned child starts out sharing its
// parent's pages, and its peak then counts the benchmark's own memory.
#pragma once

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include "support/test_paths.h"

extern char** environ;

namespace tarn::bench {

struct TarnctlRun {
    long peakKb = -1;  // -1 when tarnctl could not be run, or did not end normally
    int exitCode = -1;
};

// The high-water mark of a process's resident size in kB, or -1 when it is gone.
inline long highWaterKb(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// tarnctl with the given arguments, its standard output into `outPath` and its error output dropped;
// `tick` is called until it ends (a tick returns soon: a sleep, or a few datagrams of a flood).
inline TarnctlRun runTarnctl(const QStringList& args, const QString& outPath, const std::function<void()>& tick) {
    std::vector<std::string> words{tarn::test::tarnctlPath().toStdString()};
    for (const QString& a : args) words.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const QByteArray out = outPath.toLocal8Bit();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.constData(), O_WRONLY | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) return {};
    TarnctlRun run;
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid)
            break;
        run.peakKb = std::max(run.peakKb, highWaterKb(pid));
        tick();
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return {};
    run.exitCode = WEXITSTATUS(status);
    return run;
}

}  // namespace tarn::bench
