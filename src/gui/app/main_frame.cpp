#include "gui/app/main_frame.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "core/manage/outcome_review.h"
#include "core/monitor/monitor_interval.h"
#include "core/params/configuration_file.h"
#include "gui/app/backup_driver.h"
#include "gui/app/help_window.h"
#include "gui/app/results_dock.h"
#include "gui/app/site_table_driver.h"
#include "gui/app/traffic_dock.h"
#include "gui/common/qt_prompter.h"
#include "gui/controls/icons.h"
#include "gui/discovery/device_tree.h"
#include "gui/discovery/input_ip_dlg.h"
#include "gui/discovery/left_view.h"
#include "gui/iolink/set_comm_dlg.h"
#include "gui/monitor/tarn_dlg.h"
#include "gui/params/manager_view.h"
#include "link/common/command_line.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"

namespace tarn {

namespace {

constexpr int kLinkModeBoxWidth = 120;
constexpr int kGroupBoxWidth = 160;

const QString kCompareText = QStringLiteral("C&ompare with file...");
const QString kClearComparisonText = QStringLiteral("Cl&ear comparison");

// What the empty device list says in each link mode.
const QString kNetworkEmptyHint = QStringLiteral(
    "No devices listed.\n\nProbe (F5) finds the devices on this network.\n"
    "Quick Connect (Ctrl+K) reaches devices by address, also lists, ranges and blocks.");
const QString kSerialEmptyHint =
    QStringLiteral("Serial link mode lists no devices.\n\nQuick Connect (Ctrl+K) sets up the COM port.");

struct CommandInfo {
    CMainFrame::CommandId id;
    const char* text;
    const char* prompt;  // status bar text, then the tool tip after the line break
    QIcon (*icon)();
    bool networkOnly;
};

const CommandInfo kCommandInfos[] = {
    {CMainFrame::ID_QUICK_CONNECT, "&Quick Connect", "Quick Connect \nQuick Connect", icons::quickConnect, false},
    {CMainFrame::ID_PROBE, "&Probe", "Probe the device on network\nProbe", icons::probe, true},
    {CMainFrame::ID_SET_VALUES, "&Set", "Set parameter values\nSet", icons::setValues, true},
    {CMainFrame::ID_REBOOT, "&Reboot", "Reboot device(s)\nReboot", icons::reboot, true},
    {CMainFrame::ID_CLEAR_LOG, "&Clear", "Clear authentication information \n Clear", icons::clearLog, false},
    {CMainFrame::ID_FILE_SAVE, "&Save", "Save the current configuration\nSave", icons::save, true},
    {CMainFrame::ID_FILE_LOAD, "&Load...", "Load an existing configuration\nLoad", icons::load, true},
    {CMainFrame::ID_HELP, "&Help", "Display the online help documentation.\nHelp", icons::help, false},
};

}  // namespace

CMainFrame::CMainFrame(FrameState state, Prompter* prompter, QWidget* parent)
    : QMainWindow(parent), state_(std::move(state)) {
    if (!prompter) {
        ownPrompter_ = std::make_unique<QtPrompter>(this);
        prompter = ownPrompter_.get();
    }
    prompter_ = prompter;
    helpOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    fileAsker_ = [this](const FileQuestion& question, FileAnswer answer) {
        openFileDialog(this, question, std::move(answer));
    };

    setWindowTitle(QStringLiteral("  TARN Manager"));
    setWindowIcon(icons::application());

    splitter_ = new QSplitter(Qt::Horizontal, this);
    leftView_ = new CLeftView(state_, *prompter_, splitter_);
    managerView_ = new CManagerView(state_, *prompter_, *leftView_, splitter_);
    connect(managerView_, &CManagerView::openIoMonitor, this, &CMainFrame::OnOpenIoMonitor);
    splitter_->addWidget(leftView_);
    splitter_->addWidget(managerView_);
    splitter_->setChildrenCollapsible(false);
    // At first start the list shows its first columns (the others scroll into view or are widened to);
    // the parameters keep the larger share. A remembered layout replaces this.
    splitter_->setSizes({std::clamp(leftView_->tree()->preferredWidth(), 330, 520), 600});
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);
    connect(leftView_, &CLeftView::deviceSelected, this, [this] {
        resultsDock_->newCommand();
        managerView_->RequestParameterValues(0);
    });
    connect(leftView_, &CLeftView::statusText, this, &CMainFrame::showStatus);
    connect(leftView_, &CLeftView::selectionChanged, this, &CMainFrame::updateValueCommands);
    connect(managerView_, &CManagerView::shownChanged, this, &CMainFrame::updateValueCommands);
    connect(managerView_, &CManagerView::groupsChanged, this, &CMainFrame::fillGroupBox);
    // Progress of long work in the message pane, with Stop beside it while it runs.
    const auto progress = [this](const QString& text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
        updateStopCommand();
    };
    connect(managerView_, &CManagerView::statusText, this, progress);
    connect(leftView_, &CLeftView::sweepProgress, this, progress);

    trafficDock_ = new TrafficDock(*prompter_, this);
    trafficDock_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, trafficDock_);
    trafficDock_->hide();
    resultsDock_ = new ResultsDock(this, prompter_);
    resultsDock_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, resultsDock_);
    resultsDock_->hide();
    connect(managerView_, &CManagerView::outcomesReported, resultsDock_, &ResultsDock::report);
    backup_ = new BackupDriver(state_, *prompter_, this);
    connect(backup_, &BackupDriver::finished, this,
            [this](const OperationOutcomes& outcomes, const QString& folder, const QString& indexError) {
                resultsDock_->newCommand();
                resultsDock_->report(outcomes);
                int saved = 0;
                for (const DeviceOutcome& o : outcomes) saved += o.file.empty() ? 0 : 1;
                showStatus(QStringLiteral("Backed up %1 of %2 devices into %3")
                               .arg(saved)
                               .arg(outcomes.size())
                               .arg(QDir::toNativeSeparators(folder)));
                if (!indexError.isEmpty())
                    prompter_->showMessage("Back up devices",
                                           "fleet.json could not be written: " + indexError.toStdString(),
                                           MessageIcon::Warning);
            });

    siteTable_ = new SiteTableDriver(state_, *prompter_, this);
    connect(siteTable_, &SiteTableDriver::progress, this, [this](const QString& text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    connect(siteTable_, &SiteTableDriver::finished, this, [this](const OperationOutcomes& outcomes) {
        resultsDock_->newCommand();
        resultsDock_->report(outcomes);
        resultsDock_->show();
        showStatus(QStringLiteral("Values from the table: %1").arg(latin1(outcomeSummary(outcomes))));
    });

    createActions();
    createToolBar();
    createMenu();
    createStatusBar();
    updateNetworkCommands();
    leftView_->tree()->setEmptyHint(kNetworkEmptyHint);
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::action(CommandId id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::createActions() {
    for (const CommandInfo& info : kCommandInfos) {
        auto* a = new QAction(info.icon(), QString::fromLatin1(info.text), this);
        const QStringList prompt = QString::fromLatin1(info.prompt).split('\n');
        a->setStatusTip(prompt.value(0).trimmed());
        a->setToolTip(prompt.value(1).trimmed());
        a->setProperty("networkOnly", info.networkOnly);
        actions_[info.id] = a;
    }
    action(ID_FILE_LOAD)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    action(ID_FILE_SAVE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    action(ID_HELP)->setShortcut(QKeySequence::HelpContents);
    action(ID_PROBE)->setShortcut(QKeySequence(Qt::Key_F5));
    action(ID_QUICK_CONNECT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    action(ID_SET_VALUES)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    action(ID_REBOOT)->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));

    connect(action(ID_QUICK_CONNECT), &QAction::triggered, this, &CMainFrame::onQuickConnect);
    connect(action(ID_PROBE), &QAction::triggered, this, &CMainFrame::onProbe);
    connect(action(ID_SET_VALUES), &QAction::triggered, this, [this] {
        resultsDock_->newCommand();
        managerView_->setValues();
    });
    connect(action(ID_REBOOT), &QAction::triggered, this, [this] {
        resultsDock_->newCommand();
        managerView_->reboot();
    });
    connect(action(ID_CLEAR_LOG), &QAction::triggered, this, &CMainFrame::onClear);
    connect(action(ID_FILE_SAVE), &QAction::triggered, this, [this] { managerView_->saveToFile(); });
    connect(action(ID_FILE_LOAD), &QAction::triggered, this, &CMainFrame::onLoad);
    connect(action(ID_HELP), &QAction::triggered, this, &CMainFrame::onHelp);

    compare_ = new QAction(kCompareText, this);
    compare_->setStatusTip(QStringLiteral("Highlight the parameters whose value differs from a configuration file"));
    compare_->setProperty("networkOnly", true);
    connect(compare_, &QAction::triggered, this, &CMainFrame::onCompare);
    actions_[ID_FILE_COMPARE] = compare_;

    auto* backup = new QAction(QStringLiteral("&Back up devices..."), this);
    backup->setStatusTip(QStringLiteral("Save the parameters of every selected device into a folder, one file each"));
    backup->setProperty("networkOnly", true);
    connect(backup, &QAction::triggered, this, &CMainFrame::onBackup);
    actions_[ID_FILE_BACKUP] = backup;

    auto* table = new QAction(QStringLiteral("&Apply values from table..."), this);
    table->setStatusTip(QStringLiteral("Give each device its own values from a CSV table, after a preview"));
    table->setProperty("networkOnly", true);
    connect(table, &QAction::triggered, this, &CMainFrame::onApplyTable);
    actions_[ID_FILE_APPLY_TABLE] = table;

    auto* mru = new QAction(QStringLiteral("&Recent File"), this);
    mru->setStatusTip(QStringLiteral("Open this document"));
    mru->setEnabled(false);  // nothing in the program adds to the recent-file list
    actions_[ID_FILE_MRU] = mru;
    auto* monitor = new QAction(QStringLiteral("I/O &Monitor"), this);
    monitor->setStatusTip(QStringLiteral("Open the I/O monitor of the device whose parameters are shown"));
    monitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(monitor, &QAction::triggered, this, &CMainFrame::OnOpenIoMonitor);
    actions_[ID_IO_MONITOR] = monitor;

    // Stop (Esc): a Quick Connect over many addresses, or a read of many devices. Enabled only while
    // one runs, so that Esc keeps its meaning everywhere else.
    stop_ = new QAction(QStringLiteral("S&top"), this);
    stop_->setStatusTip(QStringLiteral("Stop the Quick Connect or the parameter read that is running"));
    stop_->setShortcut(QKeySequence(Qt::Key_Escape));
    stop_->setEnabled(false);
    connect(stop_, &QAction::triggered, this, &CMainFrame::onStop);

    auto* exitAction = new QAction(QStringLiteral("E&xit"), this);
    exitAction->setStatusTip(QStringLiteral("Quit the application; prompts to save documents"));
    exitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    exitAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(exitAction, &QAction::triggered, this, &QWidget::close);
    actions_[ID_APP_EXIT] = exitAction;
}

void CMainFrame::createToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("toolbar128"));
    bar->setMovable(true);
    bar->setIconSize(QSize(24, 24));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    linkModeBox_ = new QComboBox(bar);
    linkModeBox_->addItems({QStringLiteral("Network"), QStringLiteral("Serial")});
    linkModeBox_->setCurrentIndex(0);
    linkModeBox_->setFixedWidth(kLinkModeBoxWidth);
    linkModeBox_->setToolTip(QStringLiteral("Link mode"));
    connect(linkModeBox_, &QComboBox::activated, this, &CMainFrame::onLinkModeActivated);
    bar->addWidget(linkModeBox_);
    bar->addSeparator();
    bar->addAction(action(ID_QUICK_CONNECT));
    bar->addAction(action(ID_PROBE));
    bar->addSeparator();
    bar->addAction(action(ID_SET_VALUES));
    bar->addAction(action(ID_REBOOT));
    bar->addSeparator();
    bar->addAction(action(ID_CLEAR_LOG));
    bar->addSeparator();
    bar->addAction(action(ID_FILE_SAVE));
    bar->addAction(action(ID_FILE_LOAD));
    bar->addSeparator();
    bar->addAction(action(ID_HELP));
    bar->addSeparator();

    groupBox_ = new QComboBox(bar);
    groupBox_->addItem(QStringLiteral("All classes"));
    groupBox_->setCurrentIndex(0);
    groupBox_->setFixedWidth(kGroupBoxWidth);
    groupBox_->setToolTip(QStringLiteral("Parameter group"));
    // The group choice reaches the view after this handler has returned, as a posted message would.
    connect(groupBox_, &QComboBox::activated, this, [this](int index) {
        QMetaObject::invokeMethod(
            managerView_,
            [this, index] {
                resultsDock_->newCommand();
                managerView_->SelectGroup(index);
            },
            Qt::QueuedConnection);
    });
    groupBoxAction_ = bar->addWidget(groupBox_);
}

void CMainFrame::createMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(action(ID_FILE_LOAD));
    file->addAction(action(ID_FILE_SAVE));
    file->addAction(compare_);
    file->addAction(action(ID_FILE_BACKUP));
    file->addAction(action(ID_FILE_APPLY_TABLE));
    // The command names what it will do: compare, or end the comparison shown.
    connect(file, &QMenu::aboutToShow, this,
            [this] { compare_->setText(managerView_->table().comparing() ? kClearComparisonText : kCompareText); });
    file->addSeparator();
    file->addAction(action(ID_CLEAR_LOG));
    file->addSeparator();
    file->addAction(action(ID_FILE_MRU));
    file->addSeparator();
    file->addAction(action(ID_APP_EXIT));

    deviceMenu_ = menuBar()->addMenu(QStringLiteral("&Device"));
    deviceMenu_->addAction(action(ID_PROBE));
    deviceMenu_->addAction(action(ID_QUICK_CONNECT));
    deviceMenu_->addSeparator();
    deviceMenu_->addAction(action(ID_SET_VALUES));
    deviceMenu_->addAction(action(ID_REBOOT));
    deviceMenu_->addAction(stop_);
    deviceMenu_->addSeparator();
    deviceMenu_->addAction(action(ID_IO_MONITOR));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* traffic = trafficDock_->toggleViewAction();
    traffic->setText(QStringLiteral("&Traffic"));
    traffic->setStatusTip(QStringLiteral("Show or hide the traffic log"));
    view->addAction(traffic);
    QAction* results = resultsDock_->toggleViewAction();
    results->setText(QStringLiteral("&Results"));
    results->setStatusTip(QStringLiteral("Show or hide the outcome of the last operation for each device"));
    view->addAction(results);

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    probeAllInterfaces_ = options->addAction(QStringLiteral("&Probe every network interface"));
    probeAllInterfaces_->setCheckable(true);
    probeAllInterfaces_->setChecked(state_.probeAllInterfaces);
    probeAllInterfaces_->setStatusTip(
        QStringLiteral("Send the probe to the broadcast address of every network interface as well"));
    connect(probeAllInterfaces_, &QAction::toggled, this, [this](bool on) {
        state_.probeAllInterfaces = on;
        emit probeAllInterfacesChanged(on);
    });
    QAction* maxDevices = options->addAction(QStringLiteral("&Most devices listed..."));
    maxDevices->setStatusTip(QStringLiteral("How many devices a probe lists at most; replies past it are counted"));
    connect(maxDevices, &QAction::triggered, this, &CMainFrame::onMaxDevices);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(action(ID_HELP));
    help->addSeparator();
    about_ = help->addAction(QStringLiteral("&About TARN Manager"), this, &CMainFrame::onAbout);
    about_->setStatusTip(QStringLiteral("Show the version, the licence and the Qt version"));
    about_->setMenuRole(QAction::AboutRole);
    aboutQt_ = help->addAction(QStringLiteral("About &Qt"), this, [this] { QMessageBox::aboutQt(this); });
    aboutQt_->setStatusTip(QStringLiteral("Show the version of the Qt libraries"));
    aboutQt_->setMenuRole(QAction::AboutQtRole);
}

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    // The message pane falls back to "Ready" whenever no prompt is shown.
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& text) {
        if (text.isEmpty()) bar->showMessage(QStringLiteral("Ready"));
    });
    bar->showMessage(QStringLiteral("Ready"));
    stopButton_ = new QToolButton(bar);
    stopButton_->setDefaultAction(stop_);
    stopButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    stopButton_->setToolTip(QStringLiteral("Stop (Esc)"));
    stopButton_->hide();
    // Beside the counts: a temporary message would cover a widget on the left.
    bar->addPermanentWidget(stopButton_);
    countsPane_ = new QLabel(leftView_->countsText(), bar);
    countsPane_->setObjectName(QStringLiteral("deviceCounts"));
    countsPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    connect(leftView_, &CLeftView::countsChanged, countsPane_, &QLabel::setText);
    bar->addPermanentWidget(countsPane_);
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(QString::fromLatin1(indicator), bar);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setEnabled(false);
        bar->addPermanentWidget(pane);
    }
}

void CMainFrame::showStatus(const QString& text) { statusBar()->showMessage(text, 8000); }

// The group box offers "All classes" and the groups of the current definition set.
void CMainFrame::fillGroupBox() {
    groupBox_->clear();
    const DefinitionSet* set = managerView_->table().definitions();
    if (!set) {
        groupBox_->addItem(QString::fromLatin1(kAllClassesLabel));
    } else {
        for (int g = 0; g < set->groupCount(); ++g) {
            const std::string& label = set->groups[static_cast<std::size_t>(g)].label;
            groupBox_->addItem(latin1(label));
        }
    }
    groupBox_->setCurrentIndex(set ? set->selectedGroup : 0);
}

void CMainFrame::updateNetworkCommands() {
    const bool network = state_.linkMode == LinkMode::Network;
    for (auto& [id, a] : actions_) {
        if (a->property("networkOnly").toBool()) a->setEnabled(network);
    }
    groupBox_->setEnabled(network);
    updateValueCommands();
}

// Set, Save and Compare take the values the list shows: only while they are the selected devices'.
// Otherwise the list says whose they are and how to read the selection.
void CMainFrame::updateValueCommands() {
    const bool current = managerView_->updateSelectionNotice();
    const bool network = state_.linkMode == LinkMode::Network;
    action(ID_SET_VALUES)->setEnabled(network && current);
    action(ID_FILE_SAVE)->setEnabled(network && current);
    // Ending a comparison needs no values.
    compare_->setEnabled(network && (current || managerView_->table().comparing()));
}

void CMainFrame::updateStopCommand() {
    const bool running = leftView_->sweeping() || managerView_->session().reading();
    stop_->setEnabled(running);
    stopButton_->setVisible(running);
}

void CMainFrame::onStop() {
    if (leftView_->sweeping()) {
        leftView_->stopSweep();
        showStatus(QStringLiteral("Quick Connect stopped"));
    }
    if (managerView_->session().reading()) {
        managerView_->session().stopReading();
        showStatus(QStringLiteral("Reading stopped"));
    }
    updateStopCommand();
}

void CMainFrame::onLinkModeActivated(int index) {
    if (index == 0) {
        state_.linkMode = LinkMode::Network;
        managerView_->table().clear();
    } else if (index == 1) {
        state_.linkMode = LinkMode::Serial;
        leftView_->tree()->deleteAllItems();
        managerView_->table().clear();
        groupBox_->clear();
        groupBox_->addItem(QStringLiteral("All classes"));
        groupBox_->setCurrentIndex(0);
    }
    leftView_->tree()->setEmptyHint(state_.linkMode == LinkMode::Network ? kNetworkEmptyHint : kSerialEmptyHint);
    updateNetworkCommands();
}

void CMainFrame::onQuickConnect() {
    if (state_.linkMode == LinkMode::Network)
        quickConnectNetwork();
    else
        quickConnectSerial();
}

void CMainFrame::quickConnectNetwork() {
    // The window goes on while the dialog is open; the probe starts when it is accepted.
    auto* dialog = new CInputIPDlg(state_.quickConnectBook, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { quickConnectAccepted(dialog->text()); });
    dialog->open();
}

void CMainFrame::quickConnectAccepted(const QString& text) {
    state_.quickConnectActive = true;
    state_.quickConnectAddress = text.toStdString();
    state_.quickConnectBook = rememberInAddressBook(state_.quickConnectBook, text);
    emit quickConnectBookChanged(state_.quickConnectBook);
    leftView_->probe();
    managerView_->table().clear();
    updateValueCommands();
}

void CMainFrame::quickConnectSerial() {
    auto* dialog = new CSetCommDlg(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->PreloadSettings(state_.serial);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        state_.serial = dialog->ReadBackSettings();
        managerView_->showSerialSetupRow();
    });
    dialog->open();
}

void CMainFrame::onProbe() {
    if (!state_.demoNotRunning.empty()) {  // the demo's simulator is not serving: nothing to probe
        prompter_->showMessage("TARN Manager", state_.demoNotRunning, MessageIcon::Information);
        return;
    }
    state_.quickConnectActive = false;
    leftView_->probe();
}

void CMainFrame::onClear() { managerView_->clear(); }

void CMainFrame::onLoad() {
    fileAsker_({FileQuestion::Kind::OpenFile, QStringLiteral("Load"), state_.lastConfigurationFolder,
                QString::fromLatin1(kConfigurationFilter)},
               [this](const QString& path) {
                   state_.lastConfigurationFolder = QFileInfo(path).absolutePath();
                   managerView_->loadFile(path);
               });
}

void CMainFrame::onCompare() {
    if (managerView_->table().comparing()) {
        managerView_->clearComparison();
        compare_->setText(kCompareText);
        showStatus(QStringLiteral("Comparison cleared"));
        return;
    }
    fileAsker_({FileQuestion::Kind::OpenFile, QStringLiteral("Compare with file"), state_.lastConfigurationFolder,
                QString::fromLatin1(kConfigurationFilter)},
               [this](const QString& path) { compareWith(path); });
}

void CMainFrame::compareWith(const QString& path) {
    state_.lastConfigurationFolder = QFileInfo(path).absolutePath();
    const std::optional<int> differing = managerView_->compareWithFile(path);
    if (!differing) return;
    compare_->setText(kClearComparisonText);
    const QString file = QFileInfo(path).fileName();
    showStatus(*differing == 0   ? QStringLiteral("No parameter differs from %1").arg(file)
               : *differing == 1 ? QStringLiteral("1 parameter differs from %1").arg(file)
                                 : QStringLiteral("%1 parameters differ from %2").arg(*differing).arg(file));
}

// Asked with open(): the window goes on while the box is up.
void CMainFrame::onMaxDevices() {
    auto* dialog = new QInputDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Most devices listed"));
    dialog->setLabelText(QStringLiteral("A probe lists at most this many devices:"));
    dialog->setInputMode(QInputDialog::IntInput);
    dialog->setIntRange(1, kMaxMaxDevices);
    dialog->setIntStep(1000);
    dialog->setIntValue(state_.maxDevices);
    connect(dialog, &QInputDialog::intValueSelected, this, [this](int value) {
        state_.maxDevices = value;
        emit maxDevicesChanged(value);
    });
    dialog->open();
}

void CMainFrame::onBackup() {
    if (backup_->running()) return;
    std::vector<DeviceEntry> devices = leftView_->tree()->selectedEntries();
    if (devices.empty()) {
        prompter_->showMessage("Back up devices", "Select the devices to back up first.", MessageIcon::Warning);
        return;
    }
    // The devices selected now are backed up, whatever the list does while the folder is asked for.
    fileAsker_({FileQuestion::Kind::Folder, QStringLiteral("Back up devices into"), state_.lastBackupFolder},
               [this, devices = std::move(devices)](const QString& folder) mutable {
                   if (backup_->running()) return;
                   state_.lastBackupFolder = folder;
                   backup_->start(std::move(devices), folder);
               });
}

void CMainFrame::onApplyTable() {
    fileAsker_({FileQuestion::Kind::OpenFile, QStringLiteral("Apply values from table"), state_.lastConfigurationFolder,
                QStringLiteral("Site table (*.csv *.CSV)")},
               [this](const QString& path) { applyTable(path); });
}

void CMainFrame::applyTable(const QString& path) {
    state_.lastConfigurationFolder = QFileInfo(path).absolutePath();
    // Every device of the list counts, also those a filter hides: a table must not give a device the
    // address of one the operator does not see.
    const DeviceInventory& inventory = leftView_->tree()->deviceModel()->inventory();
    std::vector<DeviceEntry> known;
    for (int i = 0; i < inventory.deviceCount(); ++i) known.push_back(inventory.device(i));
    siteTable_->open(path, std::move(known));
}

void CMainFrame::OnOpenIoMonitor() {
    const QString intervalPath =
        QDir(state_.writableDir)
            .filePath(QString::fromLatin1(kMonitorIntervalFileName.data(), kMonitorIntervalFileName.size()));
    // Window-modal, not exec(): replies, link events and a closing window never run inside it.
    auto* dialog = new CTARNDlg(state_, *prompter_, intervalPath, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CMainFrame::onHelp() {
    // The help lies in the "help" folder of the data directory; the platform's viewer opens it.
    const QDir help(QDir(state_.dataDir).filePath(QStringLiteral("help")));
    QString file = help.filePath(QStringLiteral("Manager.chm"));
    if (!QFileInfo::exists(file)) file = help.filePath(QStringLiteral("Manager.html"));
    if (!helpOpener_(QUrl::fromLocalFile(file))) {
        // No browser could be started: the program shows the HTML pages itself.
        if (!helpWindow_) helpWindow_ = new HelpWindow(this);
        helpWindow_->showPage(help.filePath(QStringLiteral("Manager.html")));
        helpWindow_->show();
        helpWindow_->raise();
        helpWindow_->activateWindow();
    }
    // The current folder stays where it was: file dialogs open where the operator left them.
}

void CMainFrame::onAbout() {
    QString text = QStringLiteral(
                       "<h3>TARN Manager %1</h3>"
                       "<p>Discover, configure and monitor TARN remote I/O devices.</p>"
                       "<p>Copyright &copy; 2026 TARN Manager developers.<br>"
                       "Licence: GNU General Public License, version 3 or (at your option) any later version "
                       "(GPL-3.0-or-later). The software comes with no warranty of any kind.")
                       .arg(cli::version().toHtmlEscaped());
    // An installed program has the licence's full text beside its other documents.
    const QString copyright =
        QDir::cleanPath(QDir(state_.dataDir).filePath(QStringLiteral("../doc/tarn-manager/copyright")));
    if (QFileInfo::exists(copyright))
        text += QStringLiteral("<br>Its full text is in <code>%1</code>.").arg(copyright.toHtmlEscaped());
    text += QStringLiteral("</p><p>Qt %1 (built with Qt %2).</p>")
                .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));
    // Opened, not run: the window goes on behind it (what QMessageBox::about would show, without its own loop).
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About TARN Manager"), text, QMessageBox::Ok, this);
    box->setIconPixmap(windowIcon().pixmap(64, 64));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace tarn
