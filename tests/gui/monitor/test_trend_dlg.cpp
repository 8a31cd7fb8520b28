// The Trend view over a recording: inputs drawn as steps, points that leave the ring leave the
// chart, the keys move the view, and the export writes the recording as tarnctl io watch --csv does.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "core/common/file_io.h"
#include "core/common/silent_prompter.h"
#include "core/monitor/io_history.h"
#include "gui/monitor/trend_dlg.h"

namespace tarn {
namespace {

SilentPrompter prompter;

IoSample sample(std::int64_t ms, int adc1, bool in1) {
    IoStatus s;
    s.adc[0] = {PortStateCode::OnWithLevel, QString::number(adc1).rightJustified(4, '0').toStdString()};
    s.input[0] = in1 ? PortStateCode::On : PortStateCode::Off;
    return IoSample::fromStatus(ms, s);
}

TEST(TrendDlg, StepsWrapKeysAndExport) {
    IoHistory history(6);
    CTrendDlg dialog(history, prompter);
    for (int n = 0; n < 4; ++n) history.record(sample(n * 10000, 100 * n, n >= 2));
    history.record(IoSample::withoutStatus(40000, LinkSample::Lost));  // nothing to draw
    dialog.takeNewSamples();
    EXPECT_EQ(dialog.adcSeries(0)->points().size(), 4u);
    EXPECT_EQ(dialog.adcSeries(1)->points().size(), 0u);  // never a number: nothing drawn
    // Input 1 goes on at 20 s: a vertical step there, not a slope from 10 s.
    const std::vector<TrendPoint> steps = dialog.inputSeries(0)->points();
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[1].x, 20000);
    EXPECT_LT(steps[1].y, steps[2].y);
    EXPECT_EQ(steps[2].x, 20000);
    EXPECT_EQ(steps[3].x, 30000);

    for (int n = 5; n < 9; ++n) history.record(sample(n * 10000, 500, true));  // the first three leave the ring
    dialog.takeNewSamples();
    EXPECT_EQ(dialog.adcSeries(0)->points()[0].x, 30000);
    EXPECT_EQ(dialog.window().from(), 30000);
    QTest::keyClick(&dialog, Qt::Key_Plus);
    EXPECT_EQ(dialog.window().from(), 40000);
    EXPECT_TRUE(dialog.window().following());
    QTest::keyClick(&dialog, Qt::Key_Left);
    EXPECT_EQ(dialog.window().from(), 30000);
    EXPECT_FALSE(dialog.window().following());
    QTest::keyClick(&dialog, Qt::Key_Home);
    EXPECT_TRUE(dialog.window().following());

    // An input that changes faster than a pixel column shows one bar per column and ends right.
    IoHistory busy;
    for (int n = 0; n <= 300; ++n) busy.record(sample(n, 0, n % 2 == 0));
    CTrendDlg flicker(busy, prompter);
    const std::vector<TrendPoint> bars = flicker.inputSeries(0)->points();
    EXPECT_LE(bars.size(), 3u * 4 + 2);  // 10 s over at least 100 columns: 300 ms take 3 or 4
    EXPECT_EQ(bars.back(), (TrendPoint{300, bars[0].y}));

    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(dialog.exportCsv(dir.filePath("trend.csv"), &error)) << error.toStdString();
    const FileContent csv = readWholeFile(dir.filePath("trend.csv").toStdString(), 1 << 20);
    std::string expected = ioSampleCsvHeader() + '\n';
    for (std::size_t i = 0; i < history.size(); ++i) expected += ioSampleCsvLine(history.at(i)) + '\n';
    EXPECT_EQ(csv.text, expected);
    EXPECT_EQ(std::count(csv.text.begin(), csv.text.end(), '\n'), 7);
    EXPECT_FALSE(dialog.exportCsv(dir.filePath("no/such/folder/trend.csv"), &error));
}

// What the window shows: its backing store, where a poll repaints only what it changed.
QImage onScreen(QWidget& widget) {
    QCoreApplication::processEvents();  // the scene posts its update, the update paints
    QCoreApplication::processEvents();
    return widget.screen()->grabWindow(widget.winId()).toImage();
}

// Following poll by poll on screen (the axes move a column at a time, a poll within a column
// repaints only what it changed) shows what a view opened on the same recording shows, while the
// ring fills and once it drops a poll at every poll. The view is narrow, so that there are more
// polls than pixel columns.
TEST(TrendDlg, FollowingShowsWhatAFreshViewShows) {
    IoHistory history(1300);
    int n = 0;
    const auto poll = [&] {
        history.record(n % 7 == 3 || (n > 1330 && n < 1350) ? IoSample::withoutStatus(n * 2000, LinkSample::Lost)
                                                            : sample(n * 2000, (n * 37) % 1000, n / 5 % 2));
        ++n;
    };
    while (n < 1200) poll();
    CTrendDlg live(history, prompter);
    live.resize(300, 400);
    live.show();
    const auto expectAsFresh = [&] {
        CTrendDlg fresh(history, prompter);
        fresh.resize(live.size());
        fresh.show();
        for (int k = 0; k < 2; ++k) EXPECT_EQ(live.adcSeries(k)->points(), fresh.adcSeries(k)->points()) << n;
        EXPECT_EQ(live.inputSeries(0)->points(), fresh.inputSeries(0)->points()) << n;
        const QImage shown = onScreen(live);
        ASSERT_FALSE(shown.isNull());
        ASSERT_TRUE(shown == onScreen(fresh)) << n;
    };
    while (n < 1400) {
        poll();
        live.takeNewSamples();
        QCoreApplication::processEvents();
        if (n % 10 == 0) expectAsFresh();  // the ring fills up to the 1,300th poll
    }
}

}  // namespace
}  // namespace tarn
