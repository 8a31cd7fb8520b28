// tarnctl io ... watch: one line per status poll, every --interval seconds, until SIGINT or SIGTERM
// (exit 130 or 143) or --count polls. Lines are whole: a stop signal is handled between two events,
// never inside a write. A poll without a good reply is a line too ("no reply", "setting mode");
// after --count polls the exit status is 0 when every poll was good, else 1. A link that fails ends
// the watch with its reason and exit 2.
#include <csignal>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

#include "core/monitor/io_history.h"
#include "link/common/stop_signals.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/io_session.h"

namespace tarnctl {

namespace {

using tarn::IoSample;

QJsonObject sampleJson(const IoSample& s) {
    QJsonArray outputs, inputs, adc;
    for (int i = 0; i < tarn::kIoOutputCount; ++i) outputs.append(static_cast<int>(s.output(i)));
    for (int i = 0; i < tarn::kIoInputCount; ++i) inputs.append(static_cast<int>(s.input(i)));
    for (int k = 0; k < tarn::kIoAdcCount; ++k) {
        const QJsonValue value = s.adcValue(k) == IoSample::kNoAdcValue ? QJsonValue() : QJsonValue(s.adcValue(k));
        adc.append(QJsonObject{{"code", static_cast<int>(s.adcCode(k))}, {"value", value}});
    }
    return {{"time", QString::fromStdString(tarn::utcTimeText(s.timeMs()))},
            {"link", QString::fromStdString(tarn::linkSampleText(s.link()))},
            {"outputs", outputs},
            {"inputs", inputs},
            {"adc", adc}};
}

// time link  adc 512 - 1023 -  in 1000000000-1  out 1032452-10
QString sampleText(const IoSample& s) {
    QString line = QString::fromStdString(tarn::utcTimeText(s.timeMs()) + ' ' + tarn::linkSampleText(s.link()));
    line += "  adc";
    for (int k = 0; k < tarn::kIoAdcCount; ++k)
        line +=
            s.adcValue(k) == IoSample::kNoAdcValue ? QStringLiteral(" -") : QStringLiteral(" %1").arg(s.adcValue(k));
    const auto ports = [](auto code, int count) {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QChar::fromLatin1(tarn::portStateChar(code(i)) ? tarn::portStateChar(code(i)) : '-');
        return text;
    };
    line += "  in " + ports([&](int i) { return s.input(i); }, tarn::kIoInputCount);
    line += "  out " + ports([&](int i) { return s.output(i); }, tarn::kIoOutputCount);
    return line;
}

class Watch {
public:
    Watch(const IoOptions& o, tarn::CCommProcess& engine, IoSession& session)
        : o_(o), engine_(engine), session_(session) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, &engine_, [this] { poll(); });
        QObject::connect(&engine_, &tarn::CCommProcess::ioLinkLost, &engine_, [this] { fail(); });
        tarn::deliverStopSignals({SIGINT, SIGTERM}, &engine_, [this](int signal) { end(128 + signal); });
        if (o_.csv) print(QString::fromStdString(tarn::ioSampleCsvHeader()));
        if (const int code = checkOutput()) {
            end(code);
            return;
        }
        poll();
    }

private:
    void poll() {
        if (ended_) return;
        started_.start();
        session_.run([this] { return engine_.ReadStatus(); }, [this](std::optional<int> result) { onResult(result); });
    }

    void onResult(std::optional<int> result) {
        if (ended_) return;
        if (!result) return fail();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const IoSample sample =
            *result == tarn::kIoResultSuccess
                ? IoSample::fromStatus(now, engine_.status())
                : IoSample::withoutStatus(now, *result == tarn::kIoResultSettingMode ? tarn::LinkSample::SettingMode
                                                                                     : tarn::LinkSample::NoReply);
        allGood_ = allGood_ && sample.link() == tarn::LinkSample::Good;
        if (o_.json) {
            print(QString::fromUtf8(QJsonDocument(sampleJson(sample)).toJson(QJsonDocument::Compact)));
        } else if (o_.csv) {
            print(QString::fromStdString(tarn::ioSampleCsvLine(sample)));
        } else {
            print(sampleText(sample));
        }
        // Nobody reads any more (`watch | head -3`): stop now, not after the next poll.
        if (const int code = checkOutput()) return end(code);
        if (o_.count > 0 && ++polls_ >= o_.count) return end(allGood_ ? kExitOk : kExitDeviceFailure);
        // Polls keep their spacing from start to start; a slow reply shortens the wait, never piles up.
        timer_.start(static_cast<int>(std::max<qint64>(0, o_.intervalMs - started_.elapsed())));
    }

    void fail() {
        if (ended_) return;
        QTextStream(stderr) << "tarnctl: " << session_.failure() << '\n';
        end(kExitUsage);
    }

    void end(int code) {
        if (ended_) return;
        ended_ = true;
        timer_.stop();
        endLoop(code);
    }

    static void print(const QString& line) {
        QTextStream out(stdout);
        out << line << '\n';
        out.flush();
    }

    const IoOptions o_;
    tarn::CCommProcess& engine_;
    IoSession& session_;
    QTimer timer_;
    QElapsedTimer started_;
    int polls_ = 0;
    bool allGood_ = true;
    bool ended_ = false;
};

}  // namespace

std::shared_ptr<void> startWatch(const IoOptions& o, tarn::CCommProcess& engine, IoSession& session) {
    return std::make_shared<Watch>(o, engine, session);
}

}  // namespace tarnctl
