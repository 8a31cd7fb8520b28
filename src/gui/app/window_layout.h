// What the window remembers between runs, in the program's settings: its size and place, the docks
// and the tool bar, the splitter, the device list's column widths and hidden columns, the link mode
// and the folders the file dialogs last opened. `--reset-layout` forgets it all.
#pragma once

class QSettings;

namespace tarn {

class CMainFrame;

// Restores what was saved; returns false when nothing was (the window then starts maximized).
bool restoreWindowLayout(CMainFrame& frame, QSettings& settings);
void saveWindowLayout(const CMainFrame& frame, QSettings& settings);
void clearWindowLayout(QSettings& settings);

}  // namespace tarn
