// Where the tests find the built programs and the sample data.
#pragma once

#include <QString>

namespace tarn::test {

QString simPath();
QString tarnctlPath();
QString managerPath();
QString dataDir();
QString sourceDir();
// A fresh, empty temporary directory that lives for the rest of the test process.
QString scratchDir();

}  // namespace tarn::test
