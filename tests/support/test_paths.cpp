#include "support/test_paths.h"

#include <memory>
#include <vector>

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

}  // namespace tarn::test
