// CManagerView: the right pane. Shows the parameter list of the selected devices and carries the
// device commands (parameter loading, Set, Reboot) and the configuration-file commands.
#pragma once

#include <QWidget>

#include "gui/params/parameter_list.h"

namespace tarn {

class CLeftView;
class Prompter;
struct FrameState;

class CManagerView : public QWidget {
    Q_OBJECT
public:
    CManagerView(FrameState& frame, Prompter& prompter, CLeftView& tree, QWidget* parent = nullptr);

    ParameterList* list() const { return list_; }

    // WM_DEVICE_SELECTED: load the parameters of the selected devices (group 0 = the whole device).
    void RequestParameterValues(int group);
    void setValues();
    void reboot();
    void saveConfiguration();
    void loadConfiguration(const QString& path);
    // WM_CLASS_SELECTED: show one group of parameters.
    void SelectGroup(int group);

    // Serial mode: the single set-up row through which the I/O monitor is opened.
    void showSerialSetupRow();

private:
    // Checks the selection the way every device command starts; shows the message and returns
    // false when the command cannot go on.
    bool checkSelection(bool requestsFollow);

    FrameState& frame_;
    Prompter& prompter_;
    CLeftView& tree_;
    ParameterList* list_;
};

}  // namespace tarn
