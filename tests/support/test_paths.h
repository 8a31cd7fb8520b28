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
// A fresh scratch directory holding copies of the sample .dcf files and prodid.ini (and no pwd.ini),
// for a program run with --data-dir; empty when a copy failed.
QString scratchDataDir();

}  // namespace tarn::test
