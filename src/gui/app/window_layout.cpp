#include "gui/app/window_layout.h"

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
const QString kSplitter = QStringLiteral("splitter");
const QString kDeviceColumns = QStringLiteral("deviceColumns");
const QString kLinkMode = QStringLiteral("linkMode");
const QString kConfigurationFolder = QStringLiteral("configurationFolder");
const QString kBackupFolder = QStringLiteral("backupFolder");

}  // namespace

bool restoreWindowLayout(CMainFrame& frame, QSettings& settings) {
    settings.beginGroup(kGroup);
    const bool restored = frame.restoreGeometry(settings.value(kGeometry).toByteArray());
    frame.restoreState(settings.value(kWindowState).toByteArray());
    frame.splitter()->restoreState(settings.value(kSplitter).toByteArray());
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
    settings.setValue(kSplitter, frame.splitter()->saveState());
    settings.setValue(kDeviceColumns, frame.leftView()->tree()->header()->saveState());
    settings.setValue(kLinkMode, static_cast<int>(frame.state().linkMode));
    settings.setValue(kConfigurationFolder, frame.state().lastConfigurationFolder);
    settings.setValue(kBackupFolder, frame.state().lastBackupFolder);
    settings.endGroup();
}

void clearWindowLayout(QSettings& settings) { settings.remove(kGroup); }

}  // namespace tarn
