// The window on a dark desktop: where the product keeps a background colour of its own, its text and
// pictures must stay legible whatever the desktop's palette says.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QTableView>
#include <QTest>

#include "core/params/configuration_compare.h"
#include "gui/app/results_dock.h"
#include "gui/controls/icons.h"
#include "gui/discovery/device_tree.h"
#include "gui/params/parameter_list.h"
#include "gui/params/parameter_model.h"

using namespace tarn;

namespace {

double luminance(QRgb c) { return (0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c)) / 255.0; }

struct Range {
    double darkest = 1.0;
    double lightest = 0.0;
};

Range luminanceRange(const QImage& image, const QRect& logicalRect) {
    const double ratio = image.devicePixelRatio();
    const QRect rect(QPoint(qRound(logicalRect.left() * ratio), qRound(logicalRect.top() * ratio)),
                     QPoint(qRound(logicalRect.right() * ratio), qRound(logicalRect.bottom() * ratio)));
    Range r;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const double l = luminance(image.pixel(x, y));
            r.darkest = std::min(r.darkest, l);
            r.lightest = std::max(r.lightest, l);
        }
    return r;
}

// A desktop theme with light text on dark grey, as the common dark themes have; undone afterwards.
class DarkDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QApplication::palette();
        QPalette dark;
        for (auto role : {QPalette::Window, QPalette::Button}) dark.setColor(role, QColor(53, 53, 53));
        dark.setColor(QPalette::Base, QColor(35, 35, 35));
        dark.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
            dark.setColor(role, QColor(235, 235, 235));
        dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 60));
        dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
        dark.setColor(QPalette::HighlightedText, Qt::black);
        QApplication::setPalette(dark);
    }
    void TearDown() override { QApplication::setPalette(saved_); }

    QPalette saved_;
};

DeviceEntry device(const std::string& name, const std::string& ip) {
    DeviceEntry e;
    e.name = name;
    e.ip = ip;
    e.mac = "00:50:C2:7A:10:01";
    e.productId = "74";
    e.version = "1.1";
    return e;
}

}  // namespace

TEST_F(DarkDesktop, DeviceTreeRowsAndTipsAreDarkTextOnTheLightBackground) {
    DeviceTree tree;
    tree.resize(420, 200);
    tree.appendDevice(device("Pump-House-1", "127.0.0.11"));
    tree.appendDevice(device("Pump-House-2", "127.0.0.12"));
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));

    const QImage shot = tree.viewport()->grab().toImage();
    const double background = luminance(DeviceTree::kBackground.rgb());
    for (int row = 0; row < 2; ++row) {
        const QRect line = tree.rowRect(row);
        for (int column = 0; column < 3; ++column) {
            const QRect cell(tree.header()->sectionViewportPosition(column), line.top(),
                             tree.header()->sectionSize(column), line.height());
            const Range r = luminanceRange(shot, cell);
            EXPECT_NEAR(r.lightest, background, 0.03) << "row " << row << " column " << column;
            EXPECT_GT(r.lightest - r.darkest, 0.6) << "row " << row << " column " << column;
        }
    }

    // The tip that shows a cell's text under the mouse has the same colours.
    const QPoint at = tree.rowRect(1).center();
    QHelpEvent help(QEvent::ToolTip, at, tree.viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree.viewport(), &help);
    auto* tip = tree.findChild<QLabel*>();
    ASSERT_TRUE(tip && tip->isVisible());
    const QImage tipShot = tip->grab().toImage();
    const Range r = luminanceRange(tipShot, tip->rect());
    EXPECT_NEAR(r.lightest, background, 0.03);
    EXPECT_GT(r.lightest - r.darkest, 0.6);
}

TEST_F(DarkDesktop, ToolBarPicturesStandOutFromTheWindowAndStaySharpWhenScaled) {
    const double window = luminance(QApplication::palette().color(QPalette::Window).rgb());
    const std::pair<const char*, QIcon> pictures[] = {{"quick connect", icons::quickConnect()},
                                                      {"probe", icons::probe()},
                                                      {"set", icons::setValues()},
                                                      {"reboot", icons::reboot()},
                                                      {"clear", icons::clearLog()},
                                                      {"save", icons::save()},
                                                      {"load", icons::load()},
                                                      {"help", icons::help()},
                                                      {"device", icons::device()}};
    for (const auto& [name, icon] : pictures) {
        const QImage image = icon.pixmap(QSize(32, 32), 1.0).toImage();
        int drawn = 0, legible = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y);
                if (qAlpha(c) < 200) continue;
                ++drawn;
                if (std::abs(luminance(c) - window) > 0.2) ++legible;
            }
        ASSERT_GT(drawn, 0) << name;
        EXPECT_GT(static_cast<double>(legible) / drawn, 0.6) << name;

        // At twice the scale the picture is drawn for the device pixels, not enlarged from a small one.
        const QPixmap scaled = icon.pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(scaled.size(), QSize(32, 32)) << name;
        EXPECT_EQ(scaled.devicePixelRatio(), 2.0) << name;
        EXPECT_EQ(scaled.toImage().convertToFormat(QImage::Format_ARGB32),
                  icon.pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32))
            << name;
    }
}

// The rows of a comparison and the failed lines of the Results dock keep a colour of their own, with
// dark text on it, whatever the desktop's palette; the comparison's colour is not the edit red.
TEST_F(DarkDesktop, ComparedRowsAndFailedResultsAreDarkTextOnTheirOwnColour) {
    DefinitionSet set;
    set.productNumber = 74;
    for (const char* name : {"Device name", "Location", "Contact"}) {
        ParameterRecord r;
        r.id = std::string("1.0.") + name;
        r.classLabel = "General";
        r.name = name;
        r.type = "*char";
        r.size = 16;
        r.accessMode = AccessMode::ReadWrite;
        set.records.push_back(r);
    }
    set.groups = {{"All classes", 0}, {"", 3}};
    ParameterTable table;
    table.setDefinitions(&set);
    table.showGroup(0);
    for (int r = 0; r < 3; ++r) table.setValue(r, "Pump house " + std::to_string(r));
    table.setModified(2, true);  // an edit on a compared row stays red
    table.setComparison(ConfigurationComparison(
        parseConfiguration("1 \t 74 \t 1.1 \n[0]\t Pump_house_0\n[1]\t Roof\n[2]\t Roof\n"), {0, 1, 2}, set));
    ParameterList list(table);
    list.resize(560, 160);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    EXPECT_NE(ParameterModel::kComparedColor, ParameterModel::kModifiedColor);

    const QImage shot = list.viewport()->grab().toImage();
    const double amber = luminance(ParameterModel::kComparedColor.rgb());
    for (int column = 0; column < 3; ++column) {
        const QRect compared = list.visualRect(list.model()->index(1, column)).adjusted(1, 1, -1, -1);
        const Range r = luminanceRange(shot, compared);
        EXPECT_NEAR(r.lightest, amber, 0.03) << "column " << column;
        EXPECT_GT(r.lightest - r.darkest, 0.5) << "column " << column;
        // The row that equals the file keeps the desktop's colours.
        const Range same = luminanceRange(shot, list.visualRect(list.model()->index(0, column)).adjusted(1, 1, -1, -1));
        EXPECT_LT(same.darkest, 0.2) << "column " << column;
    }
    const QRect edited = list.visualRect(list.model()->index(2, 2)).adjusted(1, 1, -1, -1);
    bool red = false;
    for (int y = edited.top(); y <= edited.bottom() && !red; ++y)
        for (int x = edited.left(); x <= edited.right() && !red; ++x) {
            const QColor c = shot.pixelColor(x, y);
            red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_TRUE(red);

    ResultsDock dock;
    DeviceOutcome ok;
    ok.device = device("Pump-House-1", "127.0.0.11");
    ok.operation = "Set";
    DeviceOutcome silent = ok;
    silent.device.name = "Pump-House-2";
    silent.status = OutcomeStatus::NoReply;
    silent.message = "No reply";
    dock.report({ok, silent});
    dock.resize(700, 200);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dock));
    QTableView* view = dock.view();
    const QImage results = view->viewport()->grab().toImage();
    const double pink = luminance(ResultsModel::kFailureColor.rgb());
    for (int column = 0; column < ResultsModel::ColumnCount; ++column) {
        const Range r =
            luminanceRange(results, view->visualRect(dock.model()->index(0, column)).adjusted(1, 1, -1, -1));
        EXPECT_NEAR(r.lightest, pink, 0.03) << "column " << column;
        EXPECT_GT(r.lightest - r.darkest, 0.5) << "column " << column;
    }
}
