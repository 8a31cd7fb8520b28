#include "tarnctl/event_loop.h"

#include <QCoreApplication>
#include <QTimer>

namespace tarnctl {

int runLoop(const std::function<void()>& start) {
    QTimer::singleShot(0, start);
    return QCoreApplication::exec();
}

void endLoop(int code) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

}  // namespace tarnctl
