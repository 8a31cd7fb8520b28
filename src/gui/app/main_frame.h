// CMainFrame: the main window. Tool bar, File, View, Options and Help menus, status bar, the splitter with
// the device tree (left) and the parameter view (right), and the Traffic and Results docks below; routes every command
// to the part that carries it out and holds the state those parts share (FrameState).
#pragma once

#include <functional>
#include <map>
#include <memory>

#include <QMainWindow>
#include <QUrl>

#include "gui/common/file_dialog.h"
#include "gui/common/frame_state.h"

class QAction;
class QComboBox;
class QMenu;
class QLabel;
class QSplitter;
class QToolButton;

namespace tarn {

class BackupDriver;
class CLeftView;
class CManagerView;
class HelpWindow;
class Prompter;
class ResultsDock;
class SiteTableDriver;
class TrafficDock;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Command ids, as the tool bar and the menu know them.
    enum CommandId {
        ID_QUICK_CONNECT = 147,
        ID_PROBE = 32771,
        ID_SET_VALUES = 32772,
        ID_CLEAR_LOG = 32781,
        ID_REBOOT = 32782,
        ID_CLASS_FILTER = 32784,
        ID_FILE_COMPARE = 32790,
        ID_FILE_BACKUP = 32791,
        ID_LINK_MODE = 32789,
        ID_FILE_LOAD = 57601,
        ID_FILE_SAVE = 57603,
        ID_FILE_MRU = 57616,
        ID_APP_EXIT = 57665,
        ID_HELP = 57670,
        ID_IO_MONITOR = 32792,
        ID_FILE_APPLY_TABLE = 32793,
    };

    // prompter: where messages go (null: message boxes owned by this window).
    explicit CMainFrame(FrameState state, Prompter* prompter = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    FrameState& state() { return state_; }
    const FrameState& state() const { return state_; }
    CLeftView* leftView() const { return leftView_; }
    CManagerView* managerView() const { return managerView_; }
    QComboBox* linkModeBox() const { return linkModeBox_; }
    QComboBox* groupBox() const { return groupBox_; }
    QAction* action(CommandId id) const;
    QSplitter* splitter() const { return splitter_; }
    // The menu that holds every device command with its shortcut.
    QMenu* deviceMenu() const { return deviceMenu_; }
    // Options > "Probe every network interface" (checkable; follows FrameState::probeAllInterfaces).
    QAction* probeAllInterfacesAction() const { return probeAllInterfaces_; }
    // View > "Traffic": the traffic log, hidden at start.
    TrafficDock* trafficDock() const { return trafficDock_; }
    // View > "Results": the outcome of the last operation for each device; opens by itself when a
    // device failed.
    ResultsDock* resultsDock() const { return resultsDock_; }
    // File > "Compare with file..." / "Clear comparison": one command that toggles.
    QAction* compareAction() const { return compare_; }
    // The program's own help window; null until help was needed without a browser.
    HelpWindow* helpWindow() const { return helpWindow_; }
    // Help > "About TARN Manager" and "About Qt".
    QAction* aboutAction() const { return about_; }
    QAction* aboutQtAction() const { return aboutQt_; }

    // How help is opened: true when a viewer was started. When none can be, the help opens in the
    // program's own window (helpWindow()). Tests replace it.
    void setHelpOpener(std::function<bool(const QUrl&)> opener) { helpOpener_ = std::move(opener); }
    // How Load, Compare with file, "Back up devices..." and "Apply values from table..." ask for a
    // file or folder (a dialog opened with open()); tests replace it.
    void setFileAsker(FileAsker asker) { fileAsker_ = std::move(asker); }
    BackupDriver* backupDriver() const { return backup_; }
    SiteTableDriver* siteTableDriver() const { return siteTable_; }

    void onLinkModeActivated(int index);
    void onQuickConnect();
    void onProbe();
    void onClear();
    void onLoad();
    void onCompare();
    void onBackup();
    void onMaxDevices();
    void onApplyTable();
    // The list's set-up button or Device > Monitor: opens the I/O monitor (CTARNDlg) of the device.
    void OnOpenIoMonitor();
    void onHelp();
    void onAbout();
    // Stop (Esc): ends the Quick Connect or the parameter read that runs.
    void onStop();
    QAction* stopAction() const { return stop_; }
    QToolButton* stopButton() const { return stopButton_; }
    void showStatus(const QString& text);
    // The status bar's pane with "N devices, M shown, K selected".

signals:
    // The operator switched "Probe every network interface"; the application keeps the choice.
    void probeAllInterfacesChanged(bool on);
    // Options > Most devices listed...: the limit to keep.
    void maxDevicesChanged(int maxDevices);
    // A Quick Connect was accepted: the address book to keep.
    void quickConnectBookChanged(const QStringList& book);

private:
    void compareWith(const QString& path);
    void applyTable(const QString& path);
    void createActions();
    void createToolBar();
    void createMenu();
    void createStatusBar();
    void updateNetworkCommands();
    void updateValueCommands();
    void updateStopCommand();
    void fillGroupBox();
    void quickConnectNetwork();
    void quickConnectAccepted(const QString& text);
    void quickConnectSerial();

    FrameState state_;
    std::unique_ptr<Prompter> ownPrompter_;
    Prompter* prompter_;
    QSplitter* splitter_ = nullptr;
    CLeftView* leftView_ = nullptr;
    CManagerView* managerView_ = nullptr;
    QComboBox* linkModeBox_ = nullptr;
    QComboBox* groupBox_ = nullptr;
    QAction* groupBoxAction_ = nullptr;
    QAction* probeAllInterfaces_ = nullptr;
    QAction* compare_ = nullptr;
    QAction* stop_ = nullptr;
    QToolButton* stopButton_ = nullptr;
    TrafficDock* trafficDock_ = nullptr;
    ResultsDock* resultsDock_ = nullptr;
    HelpWindow* helpWindow_ = nullptr;
    QAction* about_ = nullptr;
    QAction* aboutQt_ = nullptr;
    QLabel* countsPane_ = nullptr;
    QMenu* deviceMenu_ = nullptr;
    std::map<int, QAction*> actions_;
    std::function<bool(const QUrl&)> helpOpener_;
    FileAsker fileAsker_;
    BackupDriver* backup_ = nullptr;
    SiteTableDriver* siteTable_ = nullptr;
};

}  // namespace tarn
