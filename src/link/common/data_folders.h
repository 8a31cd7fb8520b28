// Where the three programs read their data and write their own files: one rule for all of them.
//
//   read-only data (.dcf files, prodid.ini, help/, demo-fleet.json), the first that applies:
//     1. --data-dir DIR;
//     2. the executable's folder, when it holds prodid.ini (a build tree, a portable copy);
//     3. ../share/tarn-manager beside the executable's folder (an installed product).
//   written files (pwd.ini, MonInter.dat):
//     the --data-dir folder of 1. (tests, a portable copy); otherwise TARN Manager's folder in the
//     user's configuration, $XDG_CONFIG_HOME/tarn-manager, which the window and tarnctl share. The
//     data folders of 2. and 3. are never written. A pwd.ini that still lies beside the executable is
//     copied there once, so its credentials go on being used.
//   settings: tarn-manager.conf in that configuration folder.
//
// Earlier versions kept the configuration folder's files (and the settings, as manager.conf) under
// $XDG_CONFIG_HOME/Local AppWizard-Generated Applications/. The first time the new folder is asked
// for and does not exist yet, they are moved over, unchanged; pwd.ini stays readable by its owner only.
#pragma once

#include <QString>

namespace tarn {

struct DataFolders {
    QString data;            // read-only data
    QString writable;        // pwd.ini, MonInter.dat
    bool installed = false;  // data was found by rule 3
};

// The installed data folder, relative to the executable's folder.
inline constexpr const char* kInstalledDataPath = "../share/tarn-manager";

// Applies the rule; an empty dataDirOption means --data-dir was not given. executableDir defaults
// to the running program's folder.
DataFolders dataFolders(const QString& dataDirOption, const QString& executableDir = {});

// The read-only half of the rule, for programs that write nothing.
QString dataFolder(const QString& dataDirOption, const QString& executableDir = {});

// The user's configuration folder for written files and settings, created (or moved over from an
// earlier version's folder) when missing.
QString configFolder();

// The settings file of the window and of tarnctl, in configFolder(), for QSettings::IniFormat.
QString settingsFile();

// The rule in a few lines for the programs' --help texts.
QString dataFoldersHelp();

}  // namespace tarn
