#include "link/common/data_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

// A pwd.ini kept beside the executable by an earlier, portable set-up: its credentials are copied to
// the configuration folder, owner-readable only, unless that folder has its own log already.
void adoptCredentialLog(const QString& executableDir, const QString& config) {
    const QString name = QString::fromLatin1(kCredentialLogFileName);
    const QString old = QDir(executableDir).filePath(name);
    const QString target = QDir(config).filePath(name);
    if (!QFileInfo::exists(old) || QFileInfo::exists(target)) return;
    if (QFile::copy(old, target)) QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
}

}  // namespace

QString configFolder() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/Local AppWizard-Generated Applications/manager");
    QDir().mkpath(config);
    return config;
}

QString dataFoldersHelp() {
    return QStringLiteral(
        "Without --data-dir, the .dcf files, prodid.ini, help and demo fleet are read\n"
        "from the program's folder when it holds prodid.ini, otherwise from\n"
        "../share/tarn-manager beside it. Written files (pwd.ini, MonInter.dat) go to\n"
        "the program's folder when it is writable and holds the data, otherwise to\n"
        "$XDG_CONFIG_HOME/Local AppWizard-Generated Applications/manager.\n");
}

QString dataFolder(const QString& dataDirOption, const QString& executableDir) {
    bool installed = false;
    return findData(dataDirOption, executableFolder(executableDir), &installed);
}

DataFolders dataFolders(const QString& dataDirOption, const QString& executableDir) {
    const QString exe = executableFolder(executableDir);
    DataFolders f;
    f.data = findData(dataDirOption, exe, &f.installed);
    // --data-dir points both at one folder (tests, portable use). An installed data folder belongs to
    // the package manager, even for root.
    if (!dataDirOption.isEmpty() || (!f.installed && QFileInfo(f.data).isWritable())) {
        f.writable = f.data;
    } else {
        f.writable = configFolder();
        adoptCredentialLog(exe, f.writable);
    }
    return f;
}

}  // namespace tarn
