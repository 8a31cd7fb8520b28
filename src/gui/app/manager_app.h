// Start-up of the desktop application: command line, settings, main frame, and the demo fleet.
#pragma once

class QApplication;

namespace tarn {

// Runs TARN Manager; returns the process exit code.
int runManagerApp(QApplication& app);

}  // namespace tarn
