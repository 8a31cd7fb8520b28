// What the benchmarks of the window share: a headless main, running the event loop for a while,
// and StallProbe, how long the window's event loop is kept from running.
#pragma once

#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

namespace tarn::bench {

// The worst lateness of a 1 ms repeating timer while the window's event loop runs, and the most
// processor time the window's thread spent between two ticks: on a busy machine a late tick may
// only mean that the thread waited for a processor, while busy time is work done on the thread.
class StallProbe {
public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            const qint64 busy = threadTimeNs();
            worstNs_ = std::max(worstNs_, now - lastNs_ - 1'000'000);
            worstBusyNs_ = std::max(worstBusyNs_, busy - lastBusyNs_);
            lastNs_ = now;
            lastBusyNs_ = busy;
        });
    }
    void start() {
        clock_.start();
        lastNs_ = 0;
        lastBusyNs_ = threadTimeNs();
        worstNs_ = worstBusyNs_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    double worstMs() const { return static_cast<double>(worstNs_) / 1e6; }
    double worstBusyMs() const { return static_cast<double>(worstBusyNs_) / 1e6; }

private:
    static qint64 threadTimeNs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    }

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0, lastBusyNs_ = 0;
    qint64 worstNs_ = 0, worstBusyNs_ = 0;
};

// A tarn-sim fleet file of `devices` devices on loopback from 127.1.0.1 on, in entries of at most
// 50,000 (the simulator's limit per entry is 65,536).
inline QByteArray fleetJson(int devices) {
    QStringList entries;
    for (int first = 0, part = 0; first < devices; first += 50000, ++part) {
        entries << QStringLiteral(R"({"name":"Pump%1","mac":"02:0%1:00:00:00:00","productId":74,"version":"1.1",)"
                                  R"("address":"127.%2.0.1","count":%3,"io":false})")
                       .arg(part + 1)
                       .arg(1 + 2 * part)
                       .arg(std::min(50000, devices - first));
    }
    return QStringLiteral(R"({"devices":[%1]})").arg(entries.join(',')).toUtf8();
}

inline void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The body of main(): the benchmarks on the offscreen platform, inside a QApplication.
inline int runWindowBenchmarks(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace tarn::bench
