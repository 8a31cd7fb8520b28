// The rule by which the programs find their data and place the files they write, on folder layouts
// made for each case: a build tree or portable copy, an installed product, and --data-dir.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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
        config_ = QDir(root_.path()).filePath("config/Local AppWizard-Generated Applications/manager");
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

    // prodid.ini beside the program makes it a portable copy (or a build tree), which wins.
    writeFile(bin_ + "/prodid.ini", "[Product]\n");
    f = dataFolders({}, bin_);
    EXPECT_EQ(f.data, bin_);
    EXPECT_FALSE(f.installed);
    EXPECT_EQ(f.writable, bin_);
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
