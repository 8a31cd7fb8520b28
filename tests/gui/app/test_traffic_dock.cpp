// The Traffic dock: hidden at start under View, the list bounded as the ring is (with the model's
// row signals in order), Pause, and the saved text; and the Options item that starts off.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>

#include "gui/app/main_frame.h"
#include "gui/app/traffic_dock.h"
#include "support/scripted_prompter.h"
#include "support/test_paths.h"

using namespace tarn;

namespace {

std::vector<TrafficEntry> entries(int first, int count) {
    std::vector<TrafficEntry> out;
    for (int i = first; i < first + count; ++i)
        out.push_back({1'700'000'000'000 + i, TrafficDirection::Received, "127.0.0.2:2002", 4, std::to_string(i),
                       Bytes{0x03, 0xA8, 0x16, 0xDA}});
    return out;
}

QString summaryAt(const TrafficModel& model, int row) {
    return model.data(model.index(row, TrafficModel::Summary), Qt::DisplayRole).toString();
}

}  // namespace

TEST(TrafficDock, TheListKeepsTheLatestTenThousandEntries) {
    TrafficModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.append(entries(0, 9990));
    model.append(entries(9990, 20));
    ASSERT_EQ(model.rowCount(), 10000);
    EXPECT_EQ(summaryAt(model, 0), "10");
    EXPECT_EQ(summaryAt(model, 9999), "10009");
    model.append(entries(20000, 10005));  // one batch larger than the list
    ASSERT_EQ(model.rowCount(), 10000);
    EXPECT_EQ(summaryAt(model, 0), "20005");
    EXPECT_EQ(model.data(model.index(0, TrafficModel::ByteText), Qt::DisplayRole).toString(), "03 A8 16 DA  ....");
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(TrafficDock, RecordsUnlessPausedAndSavesWhatItLists) {
    test::ScriptedPrompter prompter;
    FrameState state;
    state.dataDir = test::dataDir();
    state.writableDir = test::scratchDir();
    CMainFrame frame(state, &prompter);
    TrafficDock* dock = frame.trafficDock();
    EXPECT_TRUE(dock->isHidden());
    EXPECT_FALSE(dock->toggleViewAction()->isChecked());
    EXPECT_EQ(dock->toggleViewAction()->text(), "&Traffic");
    EXPECT_FALSE(frame.probeAllInterfacesAction()->isChecked());
    EXPECT_EQ(frame.probeAllInterfacesAction()->text(), "&Probe every network interface");
    frame.probeAllInterfacesAction()->toggle();
    EXPECT_TRUE(frame.state().probeAllInterfaces);
    frame.probeAllInterfacesAction()->toggle();
    EXPECT_FALSE(frame.state().probeAllInterfaces);

    ASSERT_NE(trafficSink(), nullptr);  // the dock, installed by the frame
    const auto record = [](int i) { trafficSink()->record(std::move(entries(i, 1).front())); };
    record(1);
    dock->pauseAction()->setChecked(true);
    record(2);
    dock->pauseAction()->setChecked(false);
    record(3);
    dock->flush();
    ASSERT_EQ(dock->model()->rowCount(), 2);
    EXPECT_EQ(summaryAt(*dock->model(), 1), "3");

    // "Save as..." opens its dialog and returns at once; the file is written when one is chosen.
    const QString path = test::scratchDir() + "/traffic.txt";
    QAction* saveAs = nullptr;
    for (QAction* a : dock->findChildren<QAction*>())
        if (a->text() == "Save as...") saveAs = a;
    ASSERT_NE(saveAs, nullptr);
    saveAs->trigger();
    const QList<QFileDialog*> dialogs = dock->findChildren<QFileDialog*>();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_TRUE(dialogs[0]->isVisible());
    EXPECT_EQ(dialogs[0]->windowTitle(), "Save as");
    EXPECT_FALSE(QFile::exists(path));
    dialogs[0]->selectFile(path);
    static_cast<QDialog*>(dialogs[0])->accept();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const std::string expected = formatTrafficEntry(entries(1, 1).front()) + formatTrafficEntry(entries(3, 1).front());
    EXPECT_EQ(saved.readAll().toStdString(), expected);
    EXPECT_FALSE(dock->saveTo(test::scratchDir() + "/missing-folder/traffic.txt"));
    ASSERT_EQ(prompter.records().size(), 1u);
}
