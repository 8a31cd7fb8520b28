// The monitor window through 200 random link drops, each while something is open: the setting-mode
// question, the re-connect question (dropped again right after Yes), the output or the input
// settings dialog as it reads the port, or nothing. The device is tarn-sim's I/O device model served
// in-process on loopback, so a drop is an abort of its socket and a restart a new listener; the
// window's engine sees the same TCP events as with tarn-sim. Every question is answered at random;
// a No or a refused re-connect closes the monitor and a new one opens. The seed is printed (set
// TARN_SOAK_SEED to replay a run). Under ASan (the sanitizer tree runs the e2e label) this is the
// leak check too. A Trend view follows the recording in about a third of the monitors.
#include <gtest/gtest.h>
#include <random>

#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "gui/common/frame_state.h"
#include "gui/common/qt_prompter.h"
#include "gui/monitor/port_dialog.h"
#include "gui/monitor/tarn_dlg.h"
#include "gui/monitor/tarn_wnd.h"
#include "support/wait.h"
#include "tarn-sim/io/sim_io_device.h"

using namespace tarn;
using namespace tarn::test;

namespace {

constexpr int kDrops = 200;
constexpr int kWaitMs = 3000;

// The device: tarn-sim's model behind a listener that can be stopped and started again.
class Endpoint {
public:
    Endpoint() : device_("Soak", QHostAddress::LocalHost, tarnsim::SimIoConfig{}) {}
    bool start() {
        server_ = std::make_unique<QTcpServer>();
        QObject::connect(server_.get(), &QTcpServer::newConnection, server_.get(), [this] {
            while (QTcpSocket* s = server_->nextPendingConnection()) {
                device_.serve(s);
                sockets_.push_back(s);
            }
        });
        return server_->listen(QHostAddress::LocalHost);
    }
    void stop() { server_.reset(); }
    void drop() {
        for (const QPointer<QTcpSocket>& s : sockets_)
            if (s) s->abort();
        sockets_.clear();
    }
    int port() const { return server_ ? server_->serverPort() : 0; }
    tarn::IoDeviceState& state() { return device_.model().state(); }

private:
    tarnsim::SimIoDevice device_;
    std::unique_ptr<QTcpServer> server_;
    std::vector<QPointer<QTcpSocket>> sockets_;
};

QMessageBox* activeBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

TEST(MonitorSoak, TwoHundredLinkDropsWithQuestionsAndDialogsOpen) {
    const QByteArray given = qgetenv("TARN_SOAK_SEED");
    const unsigned seed = given.isEmpty() ? std::random_device{}() : given.toUInt();
    std::printf("monitor soak seed %u (TARN_SOAK_SEED=%u replays it)\n", seed, seed);
    std::mt19937 random(seed);
    const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };

    QTemporaryDir dir;
    FrameState frame;
    frame.monitorAddress = "127.0.0.1";
    Endpoint endpoint;
    ASSERT_TRUE(endpoint.start());
    QtPrompter boxes;  // the monitor's questions as the window shows them
    std::unique_ptr<CTARNDlg> monitor;
    int monitorsOpened = 0, questions = 0, dialogs = 0;

    // Answers what is open until the monitor runs with a good status again, or has closed.
    const auto settle = [&](int drop) {
        QDeadlineTimer deadline(4 * kWaitMs);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QMessageBox* box = activeBox();
            if (!box) {
                // Over once nothing is left to answer: the monitor has closed, or runs again.
                if (!monitor->isVisible()) return true;
                if (monitor->windowTitle() == "TARN - Communication normality" && !QApplication::activeModalWidget())
                    return true;
                continue;
            }
            ++questions;
            if (box->text() == "Commnunication Lost : Do you want to re-conect?") {
                const bool yes = chance(80);
                if (yes && chance(15)) endpoint.stop();  // the endpoint is gone: the re-connect fails
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
                if (yes && chance(20)) {
                    // Dropped again while the re-connect reads the configuration.
                    waitUntil([&] { return monitor->panel()->engine().isConnected(); }, 200);
                    endpoint.drop();
                }
            } else if (box->text() == "Current is setting mode, Please set the working mode") {
                endpoint.state().settingMode = false;
                box->button(chance(85) ? QMessageBox::Yes : QMessageBox::No)->click();
            } else {
                // A report: a dialog's failure, or "Can't connect with TARN device !!".
                EXPECT_EQ(box->standardButtons(), QMessageBox::Ok) << box->text().toStdString() << " at drop " << drop;
                box->button(QMessageBox::Ok)->click();
            }
        }
        return false;
    };

    for (int drop = 0; drop < kDrops; ++drop) {
        if (!endpoint.port()) {
            ASSERT_TRUE(endpoint.start());
        }
        const int scenario = static_cast<int>(random() % 4);  // 0 nothing, 1 setting mode, 2 output, 3 input
        endpoint.state().settingMode = scenario == 1;
        if (!monitor || !monitor->isVisible()) {
            monitor.reset();
            frame.monitorPort = endpoint.port();
            monitor = std::make_unique<CTARNDlg>(frame, boxes, dir.filePath("MonInter.dat"));
            monitor->show();
            if (chance(30)) monitor->OnTrend();  // the chart following the recording through the drops
            ++monitorsOpened;
        }
        CTARNWnd* panel = monitor->panel();
        if (scenario == 1) {
            panel->panel().onPollTimer();  // the poll that hears it, without waiting for the timer
            ASSERT_TRUE(waitUntil([] { return activeBox() != nullptr; }, kWaitMs)) << "drop " << drop;
            ASSERT_EQ(activeBox()->text().toStdString(), "Current is setting mode, Please set the working mode")
                << "drop " << drop;
        } else {
            ASSERT_TRUE(waitUntil([&] { return monitor->windowTitle() == "TARN - Communication normality"; }, kWaitMs))
                << "drop " << drop << ": " << monitor->windowTitle().toStdString();
        }
        if (scenario >= 2) {
            const PanelPorts& ports = panel->panel().ports();
            const PortIndicator& port =
                scenario == 2 ? ports.outputs[random() % kIoOutputCount] : ports.inputs[random() % kIoInputCount];
            QTest::mouseClick(panel, Qt::RightButton, {}, QPoint(port.left + 9, port.top + 9));
            ASSERT_TRUE(waitUntil([] { return qobject_cast<PortDialog*>(QApplication::activeModalWidget()); }, kWaitMs))
                << "drop " << drop;
            ++dialogs;
        }
        // The drop comes at once or after a few events: during the dialog's read, or after it.
        for (int n = static_cast<int>(random() % 4); n > 0; --n) QCoreApplication::processEvents();
        if (chance(10)) endpoint.stop();  // the endpoint dies with its connections
        endpoint.drop();
        ASSERT_TRUE(settle(drop)) << "drop " << drop << " (seed " << seed << ") left the monitor at \""
                                  << monitor->windowTitle().toStdString() << "\"";
        EXPECT_LE(QApplication::topLevelWidgets().size(), 12) << "drop " << drop;  // nothing piles up
    }
    monitor.reset();
    QCoreApplication::processEvents();
    std::printf("monitor soak: %d drops, %d monitors, %d questions and reports, %d port dialogs\n", kDrops,
                monitorsOpened, questions, dialogs);
    EXPECT_GT(questions, kDrops / 2);
    EXPECT_GT(dialogs, kDrops / 5);
}

}  // namespace
