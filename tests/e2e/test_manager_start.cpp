// tarn-manager started without a display: one line that says so and names tarnctl, exit status 1,
// instead of Qt's abort (status 134) with its advice to reinstall.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

#include "support/test_paths.h"

namespace {

struct Started {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
    QString err;
};

// Runs the window's program with the given display variables only (none of the test's own).
Started startManager(const QStringList& env, const QStringList& args = {}) {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) e.remove(name);
    const QString home = tarn::test::scratchDir();
    e.insert("HOME", home);
    e.insert("XDG_CONFIG_HOME", home + "/config");
    for (const QString& kv : env) e.insert(kv.section('=', 0, 0), kv.section('=', 1));
    QProcess p;
    p.setProcessEnvironment(e);
    p.start(tarn::test::managerPath(), args);
    Started r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.exitCode = p.exitCode();
    r.status = p.exitStatus();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// A display number with no X server behind it.
QString deadDisplay() {
    for (int n = 4321;; ++n)
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) return QStringLiteral(":%1").arg(n);
}

}  // namespace

TEST(ManagerStart, WithoutADisplayItSaysSoInOneLineNamesTarnctlAndExitsOne) {
    const Started none = startManager({});
    EXPECT_EQ(none.status, QProcess::NormalExit);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err,
              "tarn-manager: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the window needs one (tarnctl "
              "does the same work on the command line)\n");
    EXPECT_EQ(none.out, "");

    // A display that is named but cannot be reached: Qt's own abort is caught the same way.
    const QString display = deadDisplay();
    const Started dead = startManager({"DISPLAY=" + display});
    EXPECT_EQ(dead.status, QProcess::NormalExit);
    EXPECT_EQ(dead.exitCode, 1);
    EXPECT_EQ(dead.err, "tarn-manager: cannot open the display '" + display +
                            "'; the window needs one (tarnctl does the same work on the command line)\n");
    EXPECT_FALSE(dead.err.contains("Reinstalling"));

    // --help and a platform chosen on purpose need no display.
    const Started help = startManager({}, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: tarn-manager ")) << help.out.toStdString();
    const Started offscreen =
        startManager({}, {"-platform", "offscreen", "--quit-after", "0", "--data-dir", tarn::test::dataDir()});
    EXPECT_EQ(offscreen.status, QProcess::NormalExit);
    EXPECT_EQ(offscreen.exitCode, 0) << offscreen.err.toStdString();
}
