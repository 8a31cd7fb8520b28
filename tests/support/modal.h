// Acting on the modal dialog that a command opens: the action runs once the dialog is up.
#pragma once

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace tarn::test {

// Calls `act` with the active modal dialog of type T as soon as one is shown (bounded: gives up
// after timeoutMs and rejects whatever modal dialog is open, so a test never hangs).
template <typename T>
void whenModal(std::function<void(T*)> act, int timeoutMs = 5000) {
    auto* timer = new QTimer;
    auto elapsed = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, elapsed, timeoutMs] {
        *elapsed += 10;
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (*elapsed > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (auto* any = qobject_cast<QDialog*>(QApplication::activeModalWidget())) any->reject();
        }
    });
    timer->start(10);
}

}  // namespace tarn::test
