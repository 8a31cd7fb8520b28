// What the window remembers between runs, in the program's settings: its size and place, the docks
// and the tool bar, the splitter (as a share of the window's width), the device list's column widths
// and hidden columns, the link mode and the folders the file dialogs last opened. `--reset-layout`
// forgets it all.
#pragma once

class QSettings;
class QSplitter;

namespace tarn {

class CMainFrame;

// Restores what was saved; returns false when nothing was (the window then starts maximized).
bool restoreWindowLayout(CMainFrame& frame, QSettings& settings);
void saveWindowLayout(const CMainFrame& frame, QSettings& settings);
void clearWindowLayout(QSettings& settings);

// The left pane's share of the splitter's width, and a share given back.
double splitterShare(const QSplitter& splitter);
void setSplitterShare(QSplitter& splitter, double share);

}  // namespace tarn
