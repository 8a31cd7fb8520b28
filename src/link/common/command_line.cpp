#include "link/common/command_line.h"

#include <QCommandLineParser>
#include <QTextStream>

#include "tarn_version.h"

namespace tarn::cli {

QString version() { return QStringLiteral(TARN_VERSION); }

int printHelp(const QString& text) {
    QTextStream(stdout) << text;
    return 0;
}

int printVersion(const QString& program) {
    QTextStream(stdout) << program << ' ' << version() << '\n';
    return 0;
}

int badUsage(const QString& program, const QString& message) {
    QTextStream(stderr) << program << ": " << message << " (try '" << program << " --help')\n";
    return kExitUsage;
}

QString parseError(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) {
        // Qt's own texts read "Missing value after '--fleet'."; one line in the style of the others.
        QString text = parser.errorText();
        if (text.endsWith('.')) text.chop(1);
        if (!text.isEmpty()) text[0] = text[0].toLower();
        return text;
    }
    const QString& name = unknown.first();
    return QStringLiteral("unrecognized option '%1%2'").arg(name.size() == 1 ? "-" : "--", name);
}

}  // namespace tarn::cli
