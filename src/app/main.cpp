// tarn-manager: the TARN Manager desktop application.
#include <QApplication>

#include "gui/app/manager_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return tarn::runManagerApp(app);
}
