#include "support/test_paths.h"

#include <memory>
#include <vector>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace tarn::test {

QString simPath() { return QStringLiteral(TARN_SIM_PATH); }
QString tarnctlPath() { return QStringLiteral(TARNCTL_PATH); }
QString managerPath() { return QStringLiteral(TARN_MANAGER_PATH); }
QString dataDir() { return QStringLiteral(TARN_DATA_DIR); }
QString sourceDir() { return QStringLiteral(TARN_SOURCE_DIR); }

QString scratchDir() {
    static std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    dirs.push_back(std::make_unique<QTemporaryDir>());
    return dirs.back()->path();
}

QString scratchDataDir() {
    const QString dir = scratchDir();
    const QDir source(dataDir());
    for (const QString& name : source.entryList({"prodid.ini", "*.dcf"}, QDir::Files))
        if (!QFile::copy(source.filePath(name), dir + '/' + name)) return {};
    return dir;
}

}  // namespace tarn::test
