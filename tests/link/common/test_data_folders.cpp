// The rule by which the programs find their data and place the files they write, on folder layouts
// made for each case: a build tree or portable copy, an installed product, and --data-dir.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include "core/fleet/fleet_index.h"
#include "link/common/data_folders.h"

using namespace tarn;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DataFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QDir(root_.path()).filePath("config").toLocal8Bit());
        bin_ = QDir(root_.path()).filePath("usr/bin");
        share_ = QDir(root_.path()).filePath("usr/share/tarn-manager");
        config_ = QDir(root_.path()).filePath("config/tarn-manager");
        QDir().mkpath(bin_);
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", savedConfig_); }

    void install() { writeFile(share_ + "/prodid.ini", "[Product]\n"); }

    QTemporaryDir root_;
    QByteArray savedConfig_;
    QString bin_, share_, config_;
};

}  // namespace

TEST_F(DataFoldersTest, DataIsFoundByOptionThenBesideTheProgramThenInTheInstalledShare) {
    install();
    // --data-dir wins, and the written files go there too.
    const QString mine = QDir(root_.path()).filePath("mine");
    QDir().mkpath(mine);
    DataFolders f = dataFolders(mine, bin_);
    EXPECT_EQ(f.data, mine);
    EXPECT_EQ(f.writable, mine);
    EXPECT_FALSE(f.installed);

    // An installed product: data in the share folder, which is never written to (not even by root).
    f = dataFolders({}, bin_);
    EXPECT_EQ(f.data, share_);
    EXPECT_TRUE(f.installed);
    EXPECT_EQ(f.writable, config_);
    EXPECT_TRUE(QFileInfo(config_).isDir());
    EXPECT_EQ(dataFolder({}, bin_), share_);

    // prodid.ini beside the program makes it a portable copy (or a build tree), which wins; its
    // folder is read, never written.
    writeFile(bin_ + "/prodid.ini", "[Product]\n");
    f = dataFolders({}, bin_);
    EXPECT_EQ(f.data, bin_);
    EXPECT_FALSE(f.installed);
    EXPECT_EQ(f.writable, config_);
}

TEST_F(DataFoldersTest, WithoutDataTheProgramsFolderIsNamed) {
    const DataFolders f = dataFolders({}, bin_);
    EXPECT_EQ(f.data, bin_);  // where the messages about missing files then point
    EXPECT_FALSE(f.installed);
}

TEST_F(DataFoldersTest, APwdIniBesideTheProgramIsAdoptedByTheConfigurationFolderOnce) {
    install();
    writeFile(bin_ + "/pwd.ini", "old credentials\n");
    DataFolders f = dataFolders({}, bin_);
    const QString log = f.writable + "/pwd.ini";
    EXPECT_EQ(readFile(log), "old credentials\n");
    EXPECT_EQ(QFile::permissions(log) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());

    // From then on the configuration folder's log is the one; the old file never overwrites it.
    writeFile(log, "newer credentials\n");
    f = dataFolders({}, bin_);
    EXPECT_EQ(readFile(log), "newer credentials\n");
}

TEST_F(DataFoldersTest, AnEarlierVersionsFolderAndSettingsAreMovedOverOnceUnchanged) {
    install();
    const QString oldCompany = QDir(root_.path()).filePath("config/Local AppWizard-Generated Applications");
    // Credentials and the monitor interval as an earlier version wrote them, byte for byte.
    const QByteArray credentials("00:50:C2:7A:10:01 admin -/space/-secret\n");
    const QByteArray interval("\x05\x00\x00\x00", 4);
    writeFile(oldCompany + "/manager/pwd.ini", credentials);
    ASSERT_TRUE(QFile::setPermissions(oldCompany + "/manager/pwd.ini", QFile::ReadOwner | QFile::WriteOwner));
    writeFile(oldCompany + "/manager/MonInter.dat", interval);
    writeFile(oldCompany + "/manager.conf", "[Options]\nProbeEveryNetworkInterface=true\n");

    const DataFolders f = dataFolders({}, bin_);
    EXPECT_EQ(f.writable, config_);
    EXPECT_EQ(readFile(config_ + "/pwd.ini"), credentials);
    EXPECT_EQ(QFile::permissions(config_ + "/pwd.ini") &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther | QFile::ExeOwner),
              QFile::Permissions());
    EXPECT_TRUE(QFile::permissions(config_ + "/pwd.ini").testFlag(QFile::ReadOwner));
    EXPECT_EQ(readFile(config_ + "/MonInter.dat"), interval);
    EXPECT_EQ(settingsFile(), config_ + "/tarn-manager.conf");
    EXPECT_TRUE(QSettings(settingsFile(), QSettings::IniFormat).value("Options/ProbeEveryNetworkInterface").toBool());
    EXPECT_FALSE(QFileInfo::exists(oldCompany)) << "the emptied folder of the earlier version is left behind";

    // Once only: a folder of the earlier version that turns up again never replaces the new files.
    writeFile(oldCompany + "/manager/pwd.ini", "stale\n");
    dataFolders({}, bin_);
    EXPECT_EQ(readFile(config_ + "/pwd.ini"), credentials);
    EXPECT_EQ(readFile(oldCompany + "/manager/pwd.ini"), "stale\n");
}

TEST_F(DataFoldersTest, OnlyTheSettingsOfAnEarlierVersionAreMovedToo) {
    const QString oldCompany = QDir(root_.path()).filePath("config/Local AppWizard-Generated Applications");
    writeFile(oldCompany + "/manager.conf", "[manager]\npath=/home/op\n");
    writeFile(oldCompany + "/other.conf", "kept\n");  // another program's settings under the same name
    EXPECT_EQ(settingsFile(), config_ + "/tarn-manager.conf");
    EXPECT_EQ(readFile(config_ + "/tarn-manager.conf"), "[manager]\npath=/home/op\n");
    EXPECT_FALSE(QFileInfo::exists(oldCompany + "/manager.conf"));
    EXPECT_EQ(readFile(oldCompany + "/other.conf"), "kept\n");
}

// Under umask 000 the configuration folder, the settings written through QSettings and every folder a
// backup makes (parents included) are still their owner's only.
TEST_F(DataFoldersTest, TheOperatorsFoldersAndFilesAreOwnerOnlyWhateverTheUmask) {
    const mode_t saved = ::umask(0);
    const QString config = configFolder();
    QSettings(settingsFile(), QSettings::IniFormat).setValue("addressBook", "127.0.0.1");
    const QString backup = QDir(root_.path()).filePath("site/a/b");
    const auto problem = prepareBackupFolder(backup.toStdString());
    ::umask(saved);
    EXPECT_FALSE(problem) << *problem;
    const auto mode = [](const QString& path) {
        struct stat st {};
        return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_mode & 07777 : 01;
    };
    EXPECT_EQ(mode(config), 0700u);
    EXPECT_EQ(readFile(settingsFile()), "[General]\naddressBook=127.0.0.1\n");
    EXPECT_EQ(mode(settingsFile()), 0600u);
    for (const QString& folder : {backup, QFileInfo(backup).path(), QDir(root_.path()).filePath("site")})
        EXPECT_EQ(mode(folder), 0700u) << folder.toStdString();
    // A second backup into the same folder is refused before anything is written.
    writeFile(backup + "/fleet.json", "{}");
    EXPECT_EQ(prepareBackupFolder(backup.toStdString()).value_or(""),
              backup.toStdString() +
                  " holds an earlier backup (fleet.json). Back up into a new or empty folder: "
                  "nothing was written.");
}
