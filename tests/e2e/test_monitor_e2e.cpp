// The I/O monitor window against tarn-sim over loopback TCP: the first configuration read queued
// before the connection is open, the panel following the device, a click switching an output, a
// port dialog reading the port, and a lost link and a refused connection closing the monitor.
#include <gtest/gtest.h>
#include <map>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "gui/common/frame_state.h"
#include "gui/common/qt_prompter.h"
#include "gui/monitor/set_delay_pulse_dlg.h"
#include "gui/monitor/tarn_dlg.h"
#include "gui/monitor/tarn_wnd.h"
#include "support/modal.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"

using namespace tarn;
using namespace tarn::test;

namespace {

class MonitorE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim = new SimProcess;
        ASSERT_TRUE(
            sim->start({"--fleet", sourceDir() + "/tests/e2e/fleets/io.json", "--device-port", "0", "--fixed-clock"}))
            << sim->output().toStdString();
        *ports = sim->ioEndpoints();
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }

    // A monitor on the named device, shown (its panel connects when it is shown).
    std::unique_ptr<CTARNDlg> monitor(const QString& device) {
        const QString endpoint = ports->at(device);
        const int colon = static_cast<int>(endpoint.lastIndexOf(':'));
        frame.monitorAddress = endpoint.left(colon).toStdString();
        frame.monitorPort = endpoint.mid(colon + 1).toInt();
        auto dialog = std::make_unique<CTARNDlg>(frame, boxes, dir.filePath("MonInter.dat"));
        dialog->show();
        return dialog;
    }

    static SimProcess* sim;
    static std::map<QString, QString>* ports;
    QTemporaryDir dir;
    FrameState frame;
    QtPrompter boxes;  // the monitor's questions as the window shows them
};

SimProcess* MonitorE2E::sim = nullptr;
std::map<QString, QString>* MonitorE2E::ports = new std::map<QString, QString>;

// Answers the next message box with `button` and records its text.
void answerBox(QString* text, QMessageBox::StandardButton button) {
    whenModal<QMessageBox>([text, button](QMessageBox* box) {
        *text = box->text();
        box->button(button)->click();
    });
}

TEST_F(MonitorE2E, FollowsTheDeviceSwitchesAnOutputAndReadsAPortDialog) {
    auto dialog = monitor("Plain");
    CTARNWnd* panel = dialog->panel();
    EXPECT_FALSE(dialog->serialButton()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return dialog->windowTitle() == "TARN - Communication normality"; }))
        << dialog->windowTitle().toStdString();
    const PanelPorts& ports = panel->panel().ports();
    EXPECT_EQ(ports.outputs[0].state, DisplayState::Off);
    EXPECT_EQ(ports.outputs[1].state, DisplayState::On);
    EXPECT_EQ(ports.inputs[0].state, DisplayState::On);
    EXPECT_EQ(ports.inputs[11].state, DisplayState::On);
    EXPECT_EQ(ports.adcPorts[3].label, "1023");
    EXPECT_TRUE(panel->pollTimerActive());

    // A left click asks; the display changes when the device's status says so.
    const auto centre = [](const PortIndicator& p) { return QPoint((p.left + p.right) / 2, (p.top + p.bottom) / 2); };
    QTest::mouseClick(panel, Qt::LeftButton, {}, centre(ports.outputs[0]));
    EXPECT_TRUE(waitUntil([&] { return ports.outputs[0].state == DisplayState::On; }));

    // A right click opens the port's dialog, which reads the port while polling stops.
    bool polledMeanwhile = true, acted = false;
    QString macroShown;
    whenModal<CSetDelayPulseDlg>([&](CSetDelayPulseDlg* d) {
        acted = true;
        EXPECT_TRUE(waitUntil([&] { return d->settingButton()->isEnabled(); }));
        polledMeanwhile = panel->pollTimerActive();
        macroShown = d->macroEdit()->text();
        EXPECT_TRUE(d->portEnable()->isChecked());
        EXPECT_FALSE(d->macroEdit()->isEnabled());
        d->reject();
    });
    QTest::mouseClick(panel, Qt::RightButton, {}, QPoint(ports.outputs[2].right, ports.outputs[2].bottom));  // corner
    ASSERT_TRUE(waitUntil([&] { return acted && !QApplication::activeModalWidget(); }));
    EXPECT_FALSE(polledMeanwhile);
    EXPECT_TRUE(macroShown.isEmpty());
    EXPECT_TRUE(panel->pollTimerActive());

    // Closing the monitor closes the link.
    dialog->reject();
    EXPECT_FALSE(panel->engine().isConnected() || panel->engine().isOpening());
}

TEST_F(MonitorE2E, LostLinkDeclinedClosesTheMonitor) {
    QString question;
    answerBox(&question, QMessageBox::No);
    auto dialog = monitor("Closer");
    ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible(); }, 8000));
    EXPECT_EQ(question, "Commnunication Lost : Do you want to re-conect?");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(dialog->panel()->panel().closing());
}

// The device is in setting mode and drops the link right after saying so: the question stays open,
// the title says the link failed, and No closes the monitor. (The question once ran a nested event
// loop in which the drop was handled inside the half-done status step; No then crashed the window.)
TEST_F(MonitorE2E, LinkDropWhileTheSettingModeQuestionIsOpen) {
    auto dialog = monitor("Setting-Closer");
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())); }, 8000));
    EXPECT_EQ(box->text(), QStringLiteral("Current is setting mode, Please set the working mode"));
    ASSERT_TRUE(waitUntil([&] { return dialog->windowTitle() == "TARN - Communication fail"; }))
        << dialog->windowTitle().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), box);  // still the one question, nothing on top
    box->button(QMessageBox::No)->click();
    ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible(); }));
    EXPECT_TRUE(dialog->panel()->panel().closing());
    EXPECT_FALSE(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
}

TEST_F(MonitorE2E, RefusedConnectionIsToldAndClosesTheMonitor) {
    QString message;
    answerBox(&message, QMessageBox::Ok);
    // A port bound here and never listened on: the connection is refused.
    QTcpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    ports->emplace("Nobody", QStringLiteral("127.0.0.1:%1").arg(holder.localPort()));
    auto dialog = monitor("Nobody");
    // The report outlives the monitor that closes behind it.
    ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible() && !message.isEmpty(); }, 8000));
    EXPECT_EQ(message, "Can't connect with TARN device !!");
}

}  // namespace
