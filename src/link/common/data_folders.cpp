#include "link/common/data_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/common/file_io.h"
#include "core/manage/credential_log.h"

namespace tarn {

namespace {

QString executableFolder(const QString& given) {
    return QDir(given.isEmpty() ? QCoreApplication::applicationDirPath() : given).absolutePath();
}

QString findData(const QString& dataDirOption, const QString& executableDir, bool* installed) {
    *installed = false;
    if (!dataDirOption.isEmpty()) return QDir(dataDirOption).absolutePath();
    const QDir exe(executableDir);
    const QString share = QDir::cleanPath(exe.filePath(QString::fromLatin1(kInstalledDataPath)));
    if (!exe.exists(QStringLiteral("prodid.ini")) && QFileInfo(share).isDir()) {
        *installed = true;
        return share;
    }
    // Also the fall-back when neither holds data: the messages about missing files then name the
    // program's own folder, as they always have.
    return exe.absolutePath();
}

const QString kSettingsName = QStringLiteral("tarn-manager.conf");

void keepOwnerOnly(const QString& file) {
    if (QFileInfo::exists(file)) QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
}

// A pwd.ini kept beside the executable by an earlier, portable set-up: its credentials are copied to
// the configuration folder, owner-readable only, unless that folder has its own log already.
void adoptCredentialLog(const QString& executableDir, const QString& config) {
    const QString name = QString::fromLatin1(kCredentialLogFileName);
    const QString old = QDir(executableDir).filePath(name);
    const QString target = QDir(config).filePath(name);
    if (!QFileInfo::exists(old) || QFileInfo::exists(target)) return;
    if (QFile::copy(old, target)) keepOwnerOnly(target);
}

// The folder and settings file of earlier versions, named after the framework's company and
// application: moved into the new, still missing folder `config`, once. A rename keeps every file as
// it is (contents, modes); across file systems QFile::rename copies, permissions included.
void moveEarlierConfiguration(const QString& configHome, const QString& config) {
    const QDir old(QDir(configHome).filePath(QStringLiteral("Local AppWizard-Generated Applications")));
    const QString oldFolder = old.filePath(QStringLiteral("manager"));
    const QString oldSettings = old.filePath(QStringLiteral("manager.conf"));
    if (QFileInfo::exists(config) || (!QFileInfo(oldFolder).isDir() && !QFileInfo::exists(oldSettings))) return;
    if (!QFileInfo(oldFolder).isDir() || !QDir().rename(oldFolder, config)) {
        makeOwnerOnlyFolders(config.toStdString());
        for (const QFileInfo& f : QDir(oldFolder).entryInfoList(QDir::Files | QDir::Hidden))
            QFile::rename(f.filePath(), QDir(config).filePath(f.fileName()));
        old.rmdir(QStringLiteral("manager"));  // only when it is empty now
    }
    if (QFileInfo::exists(oldSettings)) QFile::rename(oldSettings, QDir(config).filePath(kSettingsName));
    keepOwnerOnly(QDir(config).filePath(QString::fromLatin1(kCredentialLogFileName)));
    QDir(configHome).rmdir(old.dirName());  // the company folder, when nothing else is left in it
}

}  // namespace

QString configFolder() {
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString config = QDir(home).filePath(QStringLiteral("tarn-manager"));
    moveEarlierConfiguration(home, config);
    // pwd.ini and the settings (the address book) are the operator's alone, whatever the umask and
    // whatever an earlier version left.
    makeOwnerOnlyFolders(config.toStdString());
    QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // QSettings writes through a temporary file that takes the permissions of the file it replaces.
    QFile settings(QDir(config).filePath(kSettingsName));
    if (!settings.exists()) settings.open(QIODevice::WriteOnly | QIODevice::Append);
    settings.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return config;
}

QString settingsFile() { return QDir(configFolder()).filePath(kSettingsName); }

QString dataFoldersHelp() {
    return QStringLiteral(
        "Without --data-dir, the .dcf files, prodid.ini, help and demo fleet are read\n"
        "from the program's folder when it holds prodid.ini, otherwise from\n"
        "../share/tarn-manager beside it. Written files (pwd.ini, MonInter.dat) go to\n"
        "the --data-dir folder when one is given, otherwise to\n"
        "$XDG_CONFIG_HOME/tarn-manager (normally ~/.config/tarn-manager).\n");
}

QString dataFolder(const QString& dataDirOption, const QString& executableDir) {
    bool installed = false;
    return findData(dataDirOption, executableFolder(executableDir), &installed);
}

DataFolders dataFolders(const QString& dataDirOption, const QString& executableDir) {
    const QString exe = executableFolder(executableDir);
    DataFolders f;
    f.data = findData(dataDirOption, exe, &f.installed);
    // --data-dir points both at one folder (tests, portable use). Otherwise the data folder (a build
    // tree, a copy of the sources, an installed package) is never written, even when it could be.
    if (!dataDirOption.isEmpty()) {
        f.writable = f.data;
    } else {
        f.writable = configFolder();
        adoptCredentialLog(exe, f.writable);
    }
    return f;
}

}  // namespace tarn
