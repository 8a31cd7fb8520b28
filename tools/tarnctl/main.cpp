// tarnctl: the headless command-line face of TARN Manager. The program is the library tarnctl_lib
// (tests run its commands in-process); this is the process around it.
#include <csignal>

#include <QCoreApplication>

#include "link/common/secret_holder.h"
#include "tarnctl/cli.h"

int main(int argc, char** argv) {
    tarn::guardProcessSecrets();
    // A write into a closed pipe is an error that each write sees (EPIPE), not a signal that ends
    // the program at a random point; tarnctl then ends with kExitBrokenPipe.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnctl"));
    return tarnctl::run(app.arguments().mid(1));
}
