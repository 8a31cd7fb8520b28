// The program's small images, drawn at run time so they stay crisp at any scale.
#pragma once

#include <QIcon>

namespace tarn::icons {

QIcon device();        // a device in the tree
QIcon quickConnect();  // a plug
QIcon probe();         // radar waves
QIcon setValues();     // a down arrow into a box
QIcon reboot();        // a circular arrow
QIcon clearLog();      // a key with a cross
QIcon save();
QIcon load();
QIcon help();
QIcon application();

}  // namespace tarn::icons
