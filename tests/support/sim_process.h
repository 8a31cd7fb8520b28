// Runs tarn-sim (or any program) as a child process for end-to-end tests: waits, bounded, for its
// "ready" line and stops it by its own process id when the test ends.
#pragma once

#include <map>

#include <QProcess>
#include <QString>
#include <QStringList>

namespace tarn::test {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts `program args` (tarn-sim by default) and waits up to timeoutMs for a line starting with
    // "ready". Returns false (and keeps the output for diagnostics) when it does not come.
    bool start(const QStringList& args, int timeoutMs = 10000, const QString& program = {});
    // The device port announced on the ready line ("ready port N").
    int devicePort() const { return devicePort_; }
    // Every line printed before the ready line.
    const QStringList& lines() const { return lines_; }
    // Device name -> "address:port" of each I/O server, from the "io ADDRESS:PORT NAME" lines.
    std::map<QString, QString> ioEndpoints() const;
    QString output() const { return lines_.join('\n') + '\n' + QString::fromLocal8Bit(errors_); }
    void stop();

private:
    QProcess process_;
    QStringList lines_;
    QByteArray errors_;
    int devicePort_ = 0;
};

// Runs a program to its end (bounded) and returns its exit code, standard output and error.
struct RunResult {
    int exitCode = -1;
    QString out;
    QString err;
};
// What a program gets besides its arguments: standard input (closed after it) and environment variables
// (NAME=VALUE) on top of the test's own.
struct RunInput {
    QByteArray standardInput;
    QStringList environment;
};
RunResult runProgram(const QString& program, const QStringList& args, int timeoutMs = 20000,
                     const RunInput& input = {});

}  // namespace tarn::test
