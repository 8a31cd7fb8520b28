// tarn-manager: the TARN Manager desktop application.
#include <QApplication>

#include "gui/app/manager_app.h"

int main(int argc, char** argv) {
    const tarn::ManagerCommandLine options = tarn::readManagerCommandLine(argc, argv);
    if (options.exitNow) return *options.exitNow;
    QApplication app(argc, argv);
    return tarn::runManagerApp(app, options);
}
