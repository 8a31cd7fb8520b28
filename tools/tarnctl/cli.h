// The whole of tarnctl but the process: runs one command line (the arguments after the program's
// name) and returns its exit status, printing on standard output and standard error as the program
// does. A QCoreApplication must exist; commands that talk to devices run its event loop.
#pragma once

#include <QStringList>

namespace tarnctl {

int run(QStringList args);

}  // namespace tarnctl
