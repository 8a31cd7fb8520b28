// Where the programs write their own files (pwd.ini, MonInter.dat): beside the data when that folder
// is writable (a build tree, a portable copy, --data-dir), otherwise in TARN Manager's folder of the
// user's configuration, which the window and tarnctl share.
#pragma once

#include <QString>

namespace tarn {

QString writableFolderFor(const QString& dataDir);

}  // namespace tarn
