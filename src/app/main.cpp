// tarn-manager: the TARN Manager desktop application.
#include <QApplication>

#include "gui/app/display_start.h"
#include "gui/app/manager_app.h"
#include "link/common/secret_holder.h"

int main(int argc, char** argv) {
    tarn::guardProcessSecrets();
    const tarn::ManagerCommandLine options = tarn::readManagerCommandLine(argc, argv);
    if (options.exitNow) return *options.exitNow;
    const std::unique_ptr<QApplication> app = tarn::openDisplay(argc, argv);
    return tarn::runManagerApp(*app, options);
}
