// The foot of the program's small dialogs: an etched line, then "Ok" (the default) and "Cancel".
#pragma once

class QDialog;
class QBoxLayout;

namespace tarn {

void addOkCancelFoot(QDialog* dialog, QBoxLayout* layout);

}  // namespace tarn
