// The main frame: its commands, the link modes, Quick Connect and the serial settings dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>

#include "core/manage/credential_log.h"
#include "core/params/dcf_parser.h"
#include "gui/app/demo_fleet.h"
#include "gui/app/help_window.h"
#include "gui/app/main_frame.h"
#include "gui/app/results_dock.h"
#include "gui/app/window_layout.h"
#include "gui/discovery/input_ip_dlg.h"
#include "gui/discovery/left_view.h"
#include "gui/iolink/set_comm_dlg.h"
#include "gui/params/manager_view.h"
#include "link/common/command_line.h"
#include "support/dcf_text.h"
#include "support/file_answers.h"
#include "support/loopback_frame.h"
#include "support/modal.h"
#include "support/scripted_prompter.h"
#include "support/test_paths.h"
#include "support/wait.h"

using namespace tarn;
using tarn::test::whenModal;

namespace {

DeviceEntry device(const std::string& name) {
    DeviceEntry e;
    e.name = name;
    e.ip = "127.0.0.9";
    e.mac = "00:00:00:00:00:01";
    e.productId = "74";
    e.version = "1.0";
    return e;
}

class MainFrameTest : public ::testing::Test {
protected:
    MainFrameTest() : frame(initialState(), &prompter) {}
    static FrameState initialState() {
        return tarn::test::loopbackFrameState(9);  // discard port on loopback: nothing listens
    }
    void chooseLinkMode(int index) {
        frame.linkModeBox()->setCurrentIndex(index);
        emit frame.linkModeBox()->activated(index);
    }
    ParameterList* list() { return frame.managerView()->list(); }
    // Quick Connect; returns once its dialog has been answered.
    void quickConnect() {
        frame.action(CMainFrame::ID_QUICK_CONNECT)->trigger();
        EXPECT_TRUE(tarn::test::waitUntil([] { return QApplication::activeModalWidget() == nullptr; }));
    }
    // Shows two parameters with values, as a device's reply would.
    void showRows() {
        definitions = parseDeviceConfiguration(
                          test::dcfText({{1, 0, 1}},
                                        test::dcfEntry("1.0.1", "IP", "Network", "IP_address", "R/W", 4) +
                                            test::dcfEntry("1.0.2", "unsigned_int", "Network", "Local_port", "R/W", 2)))
                          .set;
        ParameterTable& table = frame.managerView()->table();
        table.setDefinitions(&definitions);
        table.showGroup(0);
        table.setValue(0, "10.0.0.1");
        table.setValue(1, "502");
    }

    DefinitionSet definitions;

    tarn::test::ScriptedPrompter prompter;
    CMainFrame frame;
};

const CMainFrame::CommandId kNetworkOnly[] = {CMainFrame::ID_PROBE, CMainFrame::ID_SET_VALUES, CMainFrame::ID_REBOOT,
                                              CMainFrame::ID_FILE_SAVE, CMainFrame::ID_FILE_LOAD};
const CMainFrame::CommandId kAlways[] = {CMainFrame::ID_QUICK_CONNECT, CMainFrame::ID_CLEAR_LOG, CMainFrame::ID_HELP};

}  // namespace

TEST_F(MainFrameTest, StartsAsTheProductLooks) {
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("  TARN Manager"));
    EXPECT_EQ(frame.linkModeBox()->count(), 2);
    EXPECT_EQ(frame.linkModeBox()->currentText(), QStringLiteral("Network"));
    EXPECT_EQ(frame.linkModeBox()->width(), 120);
    EXPECT_EQ(frame.groupBox()->currentText(), QStringLiteral("All classes"));
    EXPECT_EQ(frame.groupBox()->width(), 160);
    EXPECT_EQ(frame.action(CMainFrame::ID_PROBE)->statusTip(), QStringLiteral("Probe the device on network"));
    EXPECT_EQ(frame.action(CMainFrame::ID_PROBE)->toolTip(), QStringLiteral("Probe"));
    EXPECT_EQ(frame.action(CMainFrame::ID_CLEAR_LOG)->statusTip(), QStringLiteral("Clear authentication information"));
    EXPECT_FALSE(frame.action(CMainFrame::ID_FILE_MRU)->isEnabled());
    EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("Ready"));
    EXPECT_EQ(frame.splitter()->widget(0), frame.leftView());
    EXPECT_EQ(frame.splitter()->widget(1), frame.managerView());
    EXPECT_EQ(list()->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral(" Value"));
}

TEST_F(MainFrameTest, SerialModeDisablesTheNetworkCommandsAndEmptiesBothPanes) {
    frame.leftView()->tree()->appendDevice(device("Pump"));
    showRows();
    frame.groupBox()->addItem(QStringLiteral("Network"));
    chooseLinkMode(1);
    EXPECT_EQ(frame.state().linkMode, LinkMode::Serial);
    for (auto id : kNetworkOnly) EXPECT_FALSE(frame.action(id)->isEnabled()) << id;
    for (auto id : kAlways) EXPECT_TRUE(frame.action(id)->isEnabled()) << id;
    EXPECT_FALSE(frame.groupBox()->isEnabled());
    EXPECT_EQ(frame.groupBox()->count(), 1);
    EXPECT_EQ(frame.leftView()->tree()->deviceCount(), 0);
    EXPECT_EQ(list()->rowCount(), 0);

    frame.managerView()->showSerialSetupRow();
    chooseLinkMode(0);
    for (auto id : kNetworkOnly) EXPECT_TRUE(frame.action(id)->isEnabled()) << id;
    EXPECT_TRUE(frame.groupBox()->isEnabled());
    EXPECT_EQ(list()->rowCount(), 0);
}

TEST_F(MainFrameTest, QuickConnectInSerialModeEditsThePortAndAddsTheSetupRow) {
    chooseLinkMode(1);
    showRows();
    // Cancel leaves everything as it was.
    whenModal<CSetCommDlg>([](CSetCommDlg* d) {
        d->portList()->setCurrentIndex(5);
        d->reject();
    });
    quickConnect();
    EXPECT_EQ(frame.state().serial, SerialSettings{});
    EXPECT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(list()->cellText(0, 1), QStringLiteral("IP address"));

    SerialSettings shown;
    whenModal<CSetCommDlg>([&](CSetCommDlg* d) {
        shown = settingsFromChoice({d->portList()->currentIndex(), d->baudList()->currentIndex(),
                                    d->parityList()->currentIndex(), d->dataBitsList()->currentIndex(),
                                    d->stopBitsList()->currentIndex()});
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Setting Serial Properties"));
        EXPECT_EQ(d->baudList()->currentText(), QStringLiteral("9600"));
        EXPECT_EQ(d->parityList()->currentText(), QStringLiteral("none"));
        EXPECT_FALSE(d->baudList()->isEnabled());
        EXPECT_TRUE(d->portList()->isEnabled());
        d->portList()->setCurrentIndex(3);
        d->accept();
    });
    quickConnect();
    EXPECT_EQ(shown, SerialSettings{});
    EXPECT_EQ(frame.state().serial.port, 4);
    EXPECT_EQ(frame.state().serial.baudRate, 9600u);
    ASSERT_EQ(list()->rowCount(), 1);
    EXPECT_EQ(list()->cellText(0, 0), QStringLiteral("TARN"));
    EXPECT_EQ(list()->cellText(0, 1), QStringLiteral("Set up input/output/ADC ports"));
}

TEST(SerialSettingsDialog, PreloadedValuesOutsideTheListsFallBack) {
    CSetCommDlg d;
    SerialSettings s;
    s.port = 7;
    s.baudRate = 115200;
    s.parity = 'o';
    d.PreloadSettings(s);
    EXPECT_EQ(d.baudList()->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(d.parityList()->currentText(), QStringLiteral("odd"));
    d.accept();
    EXPECT_EQ(d.ReadBackSettings(), s);
    s.baudRate = 300;
    d.PreloadSettings(s);
    EXPECT_EQ(d.baudList()->currentText(), QStringLiteral("9600"));
    d.accept();
    EXPECT_EQ(d.ReadBackSettings().baudRate, 9600u);
}

TEST_F(MainFrameTest, QuickConnectRemembersTheTypedAddresses) {
    showRows();
    QStringList offered;
    auto readBook = [&](CInputIPDlg* d) {
        offered.clear();
        for (int i = 0; i < d->box()->count(); ++i) offered << d->box()->itemText(i);
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Input IP"));
        d->reject();
    };
    auto dialogClosed = [] { return tarn::test::waitUntil([] { return !QApplication::activeModalWidget(); }); };
    whenModal<CInputIPDlg>(readBook);
    frame.action(CMainFrame::ID_QUICK_CONNECT)->trigger();
    ASSERT_TRUE(tarn::test::waitUntil([&] { return !offered.isEmpty(); }) && dialogClosed());
    EXPECT_EQ(offered, QStringList{"192.168.100.1"});
    EXPECT_FALSE(frame.state().quickConnectActive);
    EXPECT_EQ(list()->rowCount(), 2);  // Cancel changes nothing

    // A text that does not read keeps the dialog open and says why; a list is taken as typed.
    QString problem;
    bool stayedOpen = false;
    whenModal<CInputIPDlg>([&](CInputIPDlg* d) {
        d->box()->setEditText(QStringLiteral("127.0.0.77, 127.0.0.300"));
        d->accept();
        problem = d->problem()->text();
        stayedOpen = d->isVisible();
        d->box()->setEditText(QStringLiteral(" 127.0.0.77, 127.0.0.80-82 "));
        d->accept();
    });
    QSignalSpy book(&frame, &CMainFrame::quickConnectBookChanged);
    frame.action(CMainFrame::ID_QUICK_CONNECT)->trigger();
    ASSERT_TRUE(tarn::test::waitUntil([&] { return frame.state().quickConnectActive; }) && dialogClosed());
    EXPECT_EQ(problem, QStringLiteral("'127.0.0.300' is not a dotted IPv4 address"));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(frame.state().quickConnectAddress, "127.0.0.77, 127.0.0.80-82");
    ASSERT_EQ(book.size(), 1);
    EXPECT_EQ(book[0][0].toStringList(), QStringList{"127.0.0.77, 127.0.0.80-82"});
    EXPECT_EQ(list()->rowCount(), 0);

    // The next dialog offers the list typed last, first.
    whenModal<CInputIPDlg>(readBook);
    frame.action(CMainFrame::ID_QUICK_CONNECT)->trigger();
    ASSERT_TRUE(tarn::test::waitUntil([&] { return !offered.isEmpty(); }) && dialogClosed());
    EXPECT_EQ(offered.value(0), QStringLiteral("127.0.0.77, 127.0.0.80-82"));
    EXPECT_TRUE(frame.state().quickConnectActive);

    frame.action(CMainFrame::ID_PROBE)->trigger();  // a plain probe goes back to the broadcast
    EXPECT_FALSE(frame.state().quickConnectActive);
    EXPECT_EQ(rememberInAddressBook({"a", "b", "c"}, "b"), (QStringList{"b", "a", "c"}));
}

TEST_F(MainFrameTest, HelpOpensTheHelpFileAndLeavesTheCurrentFolder) {
    QUrl opened;
    bool viewer = true;
    frame.setHelpOpener([&](const QUrl& url) {
        opened = url;
        return viewer;
    });
    const QString before = QDir::currentPath();
    QDir::setCurrent(QDir::tempPath());
    frame.action(CMainFrame::ID_HELP)->trigger();
    EXPECT_TRUE(opened.isLocalFile());
    EXPECT_TRUE(opened.toLocalFile().startsWith(tarn::test::dataDir() + "/help/Manager."));
    // The next file dialog opens where the operator was, not in the program's folder.
    EXPECT_EQ(QDir::currentPath(), QDir(QDir::tempPath()).absolutePath());
    QDir::setCurrent(before);

    // Without a viewer the program's own window shows the help; Esc and Ctrl+W close it.
    viewer = false;
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        frame.action(CMainFrame::ID_HELP)->trigger();
        HelpWindow* help = frame.helpWindow();
        ASSERT_NE(help, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
        QTest::keySequence(help, keys);
        EXPECT_TRUE(tarn::test::waitUntil([&] { return !help->isVisible(); }, 2000)) << keys.toString().toStdString();
    }
}

TEST_F(MainFrameTest, WithoutABrowserTheHelpOpensInTheProgramsOwnWindowOffline) {
    frame.setHelpOpener([](const QUrl&) { return true; });
    frame.action(CMainFrame::ID_HELP)->trigger();
    EXPECT_EQ(frame.helpWindow(), nullptr);  // a browser took it

    frame.setHelpOpener([](const QUrl&) { return false; });
    frame.action(CMainFrame::ID_HELP)->trigger();
    HelpWindow* window = frame.helpWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("TARN Manager Help"));
    QTextBrowser* browser = window->browser();
    EXPECT_EQ(browser->source().toLocalFile(), tarn::test::dataDir() + "/help/Manager.html");
    EXPECT_TRUE(browser->toPlainText().contains("Finding devices"));

    // Links to the web or out of the help folder are not followed; the page stays.
    emit browser->anchorClicked(QUrl("https://example.invalid/manual.html"));
    emit browser->anchorClicked(QUrl::fromLocalFile(tarn::test::dataDir() + "/prodid.ini"));
    EXPECT_EQ(browser->source().toLocalFile(), tarn::test::dataDir() + "/help/Manager.html");

    // The window is reused, not stacked.
    frame.action(CMainFrame::ID_HELP)->trigger();
    EXPECT_EQ(frame.helpWindow(), window);
}

TEST_F(MainFrameTest, TheHelpPagesNameEveryCommandOfTheMenus) {
    QFile page(tarn::test::dataDir() + "/help/Manager.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString help = QString::fromUtf8(page.readAll()).replace("&gt;", ">");
    for (QAction* menu : frame.menuBar()->actions()) {
        if (menu->text() == QStringLiteral("&Help")) continue;  // help and about boxes
        for (QAction* a : menu->menu()->actions()) {
            if (a->isSeparator() || !a->isEnabled()) continue;
            const QString name = a->text().remove('&').remove(QStringLiteral("..."));
            EXPECT_TRUE(help.contains(name)) << name.toStdString();
        }
    }
    // Every part of the window, the Trend view and the password dialog's choice among them.
    for (const char* part : {"Filter", "Last reply", "Found by", "--reset-layout", "Ctrl</kbd>+<kbd>A", "Enter",
                             "Tool bar", "Status bar", "Stop", "<kbd>Esc</kbd>", "Trend", "Export CSV...",
                             "Use for every selected device the log does not know", "Press Enter to read", "version"})
        EXPECT_TRUE(help.contains(QString::fromLatin1(part))) << part;
}

TEST_F(MainFrameTest, TheHelpMenuShowsTheVersionLicenceAndQt) {
    QStringList menus;
    for (QAction* a : frame.menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Device", "&View", "&Options", "&Help"}));
    EXPECT_EQ(frame.aboutAction()->text(), QStringLiteral("&About TARN Manager"));

    frame.aboutAction()->trigger();  // opened: the trigger returns with the box showing
    auto* about = frame.findChild<QMessageBox*>();
    ASSERT_NE(about, nullptr);
    QString title = about->windowTitle(), text = about->text();
    about->accept();
    EXPECT_EQ(title, QStringLiteral("About TARN Manager"));
    EXPECT_TRUE(text.contains(QRegularExpression("TARN Manager \\d+\\.\\d+\\.\\d+"))) << text.toStdString();
    EXPECT_TRUE(text.contains(tarn::cli::version())) << text.toStdString();
    EXPECT_TRUE(text.contains("Licence: GNU General Public License, version 3 or (at your option) any later version"))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Qt %1").arg(qVersion()))) << text.toStdString();

    tarn::test::whenModal<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        box->accept();
    });
    frame.aboutQtAction()->trigger();
    EXPECT_EQ(title, QStringLiteral("About Qt"));
}

TEST_F(MainFrameTest, EveryDeviceCommandHasAMenuEntryAndAShortcut) {
    QStringList entries;
    for (QAction* a : frame.deviceMenu()->actions())
        if (!a->isSeparator()) entries << a->text() + " " + a->shortcut().toString();
    EXPECT_EQ(entries, (QStringList{"&Probe F5", "&Quick Connect Ctrl+K", "&Set Ctrl+E", "&Reboot Ctrl+Shift+R",
                                    "S&top Esc", "I/O &Monitor Ctrl+M"}));
    // Every item of every menu has an Alt letter of its own within its menu.
    for (QAction* menu : frame.menuBar()->actions()) {
        QSet<QChar> letters;
        for (QAction* a : menu->menu()->actions()) {
            if (a->isSeparator()) continue;
            const qsizetype amp = a->text().indexOf('&');
            ASSERT_TRUE(amp >= 0 && amp + 1 < a->text().size()) << a->text().toStdString();
            EXPECT_TRUE(!letters.contains(a->text().at(amp + 1).toLower())) << a->text().toStdString();
            letters.insert(a->text().at(amp + 1).toLower());
        }
    }
    EXPECT_EQ(frame.action(CMainFrame::ID_APP_EXIT)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Tab leaves the device list and the parameter list.
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.activateWindow();
    for (QWidget* part : std::initializer_list<QWidget*>{frame.leftView()->tree(), list()}) {
        part->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(tarn::test::waitUntil([&] { return part->hasFocus(); }, 2000));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_FALSE(part->hasFocus()) << part->metaObject()->className();
    }
    // F5 probes: the tree is emptied.
    frame.leftView()->tree()->appendDevice(device("Old"));
    QTest::keyClick(&frame, Qt::Key_F5);
    EXPECT_EQ(frame.leftView()->tree()->deviceCount(), 0);
}

TEST_F(MainFrameTest, DeviceCommandsCheckTheSelectionFirst) {
    frame.action(CMainFrame::ID_SET_VALUES)->trigger();
    frame.action(CMainFrame::ID_REBOOT)->trigger();
    frame.action(CMainFrame::ID_FILE_SAVE)->trigger();
    EXPECT_EQ(prompter.messageTexts(),
              (std::vector<std::string>{"No Selected Device !!", "No Selected Device !!", "No Selected Data!!"}));
    for (const auto& r : prompter.records()) EXPECT_EQ(r.caption, "Error");

    frame.setFileAsker(test::cancelFile());
    prompter.clear();
    frame.action(CMainFrame::ID_FILE_LOAD)->trigger();  // cancelled file dialog: nothing happens
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(MainFrameTest, ClearEmptiesTheCredentialLogAndTheValueColumn) {
    const QString pwd = QDir(frame.state().writableDir).filePath("pwd.ini");
    {
        CredentialLog log(pwd.toStdString());
        log.LoadLog();
        log.AppendEntry();
        log.StoreEntry("00:50:C2:7A:10:01", "admin", "secret", -1);
        ASSERT_TRUE(log.SaveLog());
        ASSERT_GT(QFileInfo(pwd).size(), 0);
    }
    showRows();
    frame.action(CMainFrame::ID_CLEAR_LOG)->trigger();
    EXPECT_EQ(QFileInfo(pwd).size(), 0);
    CredentialLog after(pwd.toStdString());
    after.LoadLog();
    EXPECT_EQ(after.FindMac("00:50:C2:7A:10:01"), -1);
    EXPECT_EQ(list()->cellText(0, 2), QString());
    EXPECT_EQ(list()->cellText(1, 1), QStringLiteral("Local port"));
}

TEST_F(MainFrameTest, DemoProbeWaitsForTheSimulatedFleet) {
    const QString fleet = QDir(tarn::test::dataDir()).filePath("demo-fleet.json");
    auto probeMessages = [&] {
        prompter.clear();
        frame.action(CMainFrame::ID_PROBE)->trigger();
        for (const auto& r : prompter.records()) EXPECT_EQ(r.caption, "TARN Manager");
        return prompter.messageTexts();
    };
    frame.leftView()->tree()->appendDevice(device("Kept"));  // a probe that went out empties the tree
    {
        DemoFleet demo(frame, fleet, tarn::test::simPath());
        demo.start();
        EXPECT_EQ(probeMessages(), std::vector<std::string>{"The demo fleet is not running yet."});
        EXPECT_EQ(frame.leftView()->tree()->deviceCount(), 1);

        // Once the fleet is ready the demo probes it by itself: the seven devices of the demo fleet,
        // without a click.
        ASSERT_TRUE(tarn::test::waitUntil([&] { return frame.leftView()->tree()->deviceCount() == 7; }, 10000));
        EXPECT_TRUE(frame.state().demoNotRunning.empty());
        EXPECT_FALSE(frame.leftView()->tree()->isListed("00:00:00:00:00:01"));
        EXPECT_TRUE(frame.leftView()->tree()->isListed("00:50:C2:7A:30:02"));
        EXPECT_TRUE(probeMessages().empty());  // and Probe goes to the fleet from then on
        EXPECT_TRUE(tarn::test::waitUntil([&] { return frame.leftView()->tree()->deviceCount() == 7; }, 5000));
    }

    frame.leftView()->tree()->appendDevice(device("Kept"));
    const int listed = frame.leftView()->tree()->deviceCount();
    DemoFleet broken(frame, fleet, tarn::test::scratchDir() + "/no-such-simulator");
    broken.start();
    ASSERT_TRUE(tarn::test::waitUntil(
        [&] { return frame.state().demoNotRunning.starts_with("The demo fleet could not be started: "); }));
    const std::vector<std::string> texts = probeMessages();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], frame.state().demoNotRunning);
    EXPECT_GT(texts[0].size(), std::string("The demo fleet could not be started: ").size());  // with the reason
    EXPECT_EQ(frame.leftView()->tree()->deviceCount(), listed);
}

TEST(WindowLayout, TheLayoutComesBackOnTheNextStartUntilItIsReset) {
    double share = 0;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings settings(dir.filePath("tarn-manager.conf"), QSettings::IniFormat);
    test::ScriptedPrompter prompter;
    {
        CMainFrame frame(tarn::test::loopbackFrameState(9), &prompter);
        frame.resize(900, 600);
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        QHeaderView* header = frame.leftView()->tree()->header();
        header->setSectionHidden(kFoundByColumn, true);
        header->resizeSection(kNameColumn, 211);
        frame.splitter()->setSizes({300, 600});
        share = splitterShare(*frame.splitter());
        EXPECT_NEAR(share, 1.0 / 3, 0.05);
        frame.linkModeBox()->setCurrentIndex(1);
        frame.onLinkModeActivated(1);
        frame.state().lastConfigurationFolder = dir.path();
        frame.state().lastBackupFolder = dir.filePath("backups");
        frame.resultsDock()->show();
        saveWindowLayout(frame, settings);
    }
    {
        CMainFrame frame(tarn::test::loopbackFrameState(9), &prompter);
        ASSERT_TRUE(restoreWindowLayout(frame, settings));
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        // The splitter keeps its share, not its pixels, in a window of another width.
        for (int width : {1400, 700}) {
            frame.resize(width, 600);
            ASSERT_TRUE(tarn::test::waitUntil([&] { return std::abs(frame.splitter()->width() - width) < 40; }, 2000));
            const QList<int> sizes = frame.splitter()->sizes();
            EXPECT_NEAR(static_cast<double>(sizes[0]) / (sizes[0] + sizes[1]), share, 0.02) << width;
        }
        QHeaderView* header = frame.leftView()->tree()->header();
        EXPECT_TRUE(header->isSectionHidden(kFoundByColumn));
        EXPECT_FALSE(header->isSectionHidden(kProductColumn));
        EXPECT_EQ(header->sectionSize(kNameColumn), 211);
        EXPECT_EQ(frame.state().linkMode, LinkMode::Serial);
        EXPECT_EQ(frame.linkModeBox()->currentText(), QStringLiteral("Serial"));
        EXPECT_FALSE(frame.action(CMainFrame::ID_PROBE)->isEnabled());
        EXPECT_EQ(frame.state().lastConfigurationFolder, dir.path());
        EXPECT_EQ(frame.state().lastBackupFolder, dir.filePath("backups"));
        EXPECT_TRUE(frame.resultsDock()->isVisible());
    }
    clearWindowLayout(settings);
    CMainFrame fresh(tarn::test::loopbackFrameState(9), &prompter);
    EXPECT_FALSE(restoreWindowLayout(fresh, settings));
    EXPECT_EQ(fresh.state().linkMode, LinkMode::Network);
    EXPECT_FALSE(fresh.leftView()->tree()->header()->isSectionHidden(kFoundByColumn));
}
