#include "gui/app/display_start.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include <QApplication>
#include <QStringList>

namespace tarn {

namespace {

QtMessageHandler previousHandler = nullptr;
QStringList platformMessages;  // what the platform plugin said while the display was being opened

[[noreturn]] void noDisplay(const QString& reason) {
    std::fprintf(stderr, "tarn-manager: %s; the window needs one (tarnctl does the same work on the command line)\n",
                 reason.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(kExitNoDisplay);
}

// A platform chosen on purpose (-platform offscreen, QT_QPA_PLATFORM=vnc, ...) needs no display.
bool platformChosen(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-platform" || arg == "--platform" || arg.starts_with("-platform=") ||
            arg.starts_with("--platform="))
            return true;
    }
    return false;
}

void pass(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (previousHandler) {
        previousHandler(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
    }
}

// Qt's last word before it aborts becomes the one line; the platform plugin's notes are held back
// until the display is open, and then passed on.
void whileOpening(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        const bool unreachable = std::any_of(platformMessages.begin(), platformMessages.end(), [](const QString& m) {
            return m.contains(QLatin1String("connect to display"));
        });
        const QString display = qEnvironmentVariable("DISPLAY");
        noDisplay(unreachable ? QStringLiteral("cannot open the display '%1'").arg(display)
                              : QStringLiteral("cannot open a window: %1").arg(message.section('\n', 0, 0).trimmed()));
    }
    if (std::string_view(context.category ? context.category : "").starts_with("qt.qpa")) {
        platformMessages << message;
        return;
    }
    pass(type, context, message);
}

}  // namespace

std::unique_ptr<QApplication> openDisplay(int& argc, char** argv) {
    if (!platformChosen(argc, argv) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        noDisplay(QStringLiteral("no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"));
    previousHandler = qInstallMessageHandler(whileOpening);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const QString& message : std::exchange(platformMessages, {}))
        pass(QtWarningMsg, QMessageLogContext(nullptr, 0, nullptr, "qt.qpa"), message);
    return app;
}

}  // namespace tarn
