#include "link/common/data_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarn {

QString writableFolderFor(const QString& dataDir) {
    if (QFileInfo(dataDir).isWritable()) return dataDir;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/Local AppWizard-Generated Applications/manager");
    QDir().mkpath(config);
    return config;
}

}  // namespace tarn
