// The monitor's small dialogs: the interval list and the serial-only button.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include "gui/common/frame_state.h"
#include "gui/common/qt_prompter.h"
#include "gui/monitor/set_monitor_time_dlg.h"
#include "gui/monitor/tarn_dlg.h"

namespace tarn {
namespace {

TEST(MonitorDialogs, IntervalListSelectsTheIntervalOrNothing) {
    for (auto [interval, index] : {std::pair{2, 0}, std::pair{10, 8}, std::pair{1, -1}, std::pair{11, -1}}) {
        CSetMonitorTimeDlg dialog(interval);
        EXPECT_EQ(dialog.timeList()->currentIndex(), index) << interval;
        dialog.accept();
        EXPECT_EQ(dialog.interval(), interval);  // nothing chosen: the interval stays
    }
    CSetMonitorTimeDlg dialog(3);
    dialog.timeList()->setCurrentIndex(5);
    dialog.accept();
    EXPECT_EQ(dialog.interval(), 7);
}

TEST(MonitorDialogs, SerialFirmwareButtonOnlyOnASerialLink) {
    FrameState frame;
    for (LinkMode mode : {LinkMode::Network, LinkMode::Serial}) {
        frame.linkMode = mode;
        QtPrompter prompter;
        CTARNDlg dialog(frame, prompter, QStringLiteral("/nonexistent/MonInter.dat"));
        EXPECT_EQ(dialog.serialButton()->isVisibleTo(&dialog), mode == LinkMode::Serial);
    }
}

}  // namespace
}  // namespace tarn
