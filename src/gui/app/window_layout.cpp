#include "gui/app/window_layout.h"

#include <algorithm>

#include <QComboBox>
#include <QHeaderView>
#include <QSettings>
#include <QSplitter>

#include "gui/app/main_frame.h"
#include "gui/discovery/left_view.h"

namespace tarn {

namespace {

const QString kGroup = QStringLiteral("Layout");
const QString kGeometry = QStringLiteral("geometry");
const QString kWindowState = QStringLiteral("windowState");
// The device list's share of the splitter (0 to 1): a share, not pixels, so that a window opened
// smaller or larger than it was keeps both panes in proportion.
const QString kSplitterShare = QStringLiteral("splitterShare");
constexpr int kShareScale = 10000;
constexpr int kMaxStretch = 255;
const QString kDeviceColumns = QStringLiteral("deviceColumns");
const QString kLinkMode = QStringLiteral("linkMode");
const QString kConfigurationFolder = QStringLiteral("configurationFolder");
const QString kBackupFolder = QStringLiteral("backupFolder");

}  // namespace

bool restoreWindowLayout(CMainFrame& frame, QSettings& settings) {
    settings.beginGroup(kGroup);
    const bool restored = frame.restoreGeometry(settings.value(kGeometry).toByteArray());
    frame.restoreState(settings.value(kWindowState).toByteArray());
    bool shared = false;
    const double share = settings.value(kSplitterShare).toDouble(&shared);
    if (shared && share > 0.0 && share < 1.0) setSplitterShare(*frame.splitter(), share);
    QHeaderView* columns = frame.leftView()->tree()->header();
    columns->restoreState(settings.value(kDeviceColumns).toByteArray());
    columns->setSortIndicatorShown(false);  // the list starts in discovery order, whatever was sorted last
    frame.state().lastConfigurationFolder = settings.value(kConfigurationFolder).toString();
    frame.state().lastBackupFolder = settings.value(kBackupFolder).toString();
    if (settings.value(kLinkMode).toInt() == static_cast<int>(LinkMode::Serial)) {
        frame.linkModeBox()->setCurrentIndex(1);
        frame.onLinkModeActivated(1);
    }
    settings.endGroup();
    return restored;
}

void saveWindowLayout(const CMainFrame& frame, QSettings& settings) {
    settings.beginGroup(kGroup);
    settings.setValue(kGeometry, frame.saveGeometry());
    settings.setValue(kWindowState, frame.saveState());
    settings.setValue(kSplitterShare, splitterShare(*frame.splitter()));
    settings.setValue(kDeviceColumns, frame.leftView()->tree()->header()->saveState());
    settings.setValue(kLinkMode, static_cast<int>(frame.state().linkMode));
    settings.setValue(kConfigurationFolder, frame.state().lastConfigurationFolder);
    settings.setValue(kBackupFolder, frame.state().lastBackupFolder);
    settings.endGroup();
}

void clearWindowLayout(QSettings& settings) { settings.remove(kGroup); }

double splitterShare(const QSplitter& splitter) {
    const QList<int> sizes = splitter.sizes();
    const int total = sizes.value(0) + sizes.value(1);
    return total > 0 ? static_cast<double>(sizes.value(0)) / total : 0.0;
}

// The sizes are weights (the splitter spreads its width in their proportion), and so are the
// stretch factors (at most 255 each): a wider or narrower window keeps the share.
void setSplitterShare(QSplitter& splitter, double share) {
    const int left = static_cast<int>(share * kShareScale + 0.5);
    const int stretch = std::clamp(static_cast<int>(share * kMaxStretch + 0.5), 1, kMaxStretch - 1);
    splitter.setStretchFactor(0, stretch);
    splitter.setStretchFactor(1, kMaxStretch - stretch);
    splitter.setSizes({left, kShareScale - left});
}

}  // namespace tarn
