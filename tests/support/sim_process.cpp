#include "support/sim_process.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>

#include "support/test_paths.h"

namespace tarn::test {

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const QStringList& args, int timeoutMs, const QString& program) {
    process_.start(program.isEmpty() ? simPath() : program, args);
    if (!process_.waitForStarted(timeoutMs)) return false;
    QDeadlineTimer deadline(timeoutMs);
    QByteArray pending;
    while (!deadline.hasExpired()) {
        if (!process_.canReadLine() && !process_.waitForReadyRead(int(deadline.remainingTime()))) {
            if (process_.state() != QProcess::Running) break;
            continue;
        }
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).trimmed();
            if (line.startsWith(QLatin1String("ready"))) {
                const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
                if (parts.size() >= 3 && parts[1] == QLatin1String("port")) devicePort_ = parts[2].toInt();
                return true;
            }
            lines_ << line;
        }
    }
    errors_ = process_.readAllStandardError();
    return false;
}

void SimProcess::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

std::map<QString, QString> SimProcess::ioEndpoints() const {
    std::map<QString, QString> endpoints;
    for (const QString& line : lines_) {
        const QStringList parts = line.split(' ');
        if (parts.size() == 3 && parts[0] == "io") endpoints[parts[2]] = parts[1];
    }
    return endpoints;
}

RunResult runProgram(const QString& program, const QStringList& args, int timeoutMs, const RunInput& input) {
    QProcess p;
    if (!input.environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& e : input.environment) env.insert(e.section('=', 0, 0), e.section('=', 1));
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(timeoutMs)) return r;
    p.write(input.standardInput);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(3000);
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace tarn::test
