// Opening the window's display. Without one Qt aborts (exit status 134) with the advice to reinstall
// the application; tarn-manager says in one line that it has no display, names tarnctl, which does
// the same work without one, and exits with status 1.
#pragma once

#include <memory>

class QApplication;

namespace tarn {

inline constexpr int kExitNoDisplay = 1;

// Makes the application object, which opens the display. When there is none, prints the reason on
// the error output and ends the process with kExitNoDisplay. argc must outlive the application.
std::unique_ptr<QApplication> openDisplay(int& argc, char** argv);

}  // namespace tarn
