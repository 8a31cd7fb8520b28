// What the program's small dialogs share: the foot (an etched line, then "Ok", the default, and
// "Cancel"), and a width that shows the whole caption.
#pragma once

class QDialog;
class QBoxLayout;

namespace tarn {

void addOkCancelFoot(QDialog* dialog, QBoxLayout* layout);
// Keeps a small dialog at least as wide as its caption needs, so the title bar does not cut it.
void fitCaption(QDialog* dialog);

}  // namespace tarn
