// CManagerView: the right pane. Shows the parameter list of the selected devices and carries the
// device commands (parameter loading, Set, Reboot) and the configuration files. The decisions are
// the ManagementSession's; the view owns the management link and the timers it needs and shows its work.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QWidget>

class QLabel;

#include "core/manage/management_session.h"
#include "gui/common/device_selection.h"
#include "gui/common/file_dialog.h"
#include "gui/params/parameter_list.h"
#include "link/common/single_shot_timers.h"

namespace tarn {

class ManagementLink;
struct FrameState;

class CManagerView : public QWidget, private ManagementHost {
    Q_OBJECT
public:
    CManagerView(FrameState& frame, Prompter& prompter, DeviceSelection& selection, QWidget* parent = nullptr);
    ~CManagerView() override;

    ParameterList* list() const { return list_; }
    // Over the rows: what the list shows while the selection is not what it was read from.
    QLabel* selectionNotice() const { return notice_; }
    // Shows the session's notice (or hides it); true while the list shows the selected devices.
    bool updateSelectionNotice();
    ManagementSession& session() { return *session_; }
    ParameterTable& table() { return session_->table(); }
    ManagementLink* link();

    // The tree's selection changed: load the parameters of the selected devices (group 0 = the whole device).
    void RequestParameterValues(int group);
    void setValues();
    void reboot();
    // Clear: pwd.ini emptied, the values and marks of the list cleared.
    void clear();
    // Save: asks for a .CNF file (the device's name proposed) and writes the list into it.
    void saveToFile();
    // Load: the file's values into the list, marked for the next set.
    void loadFile(const QString& path);
    // Compare with file: highlights the rows that differ from the file; the number of them, or
    // nothing when the file was refused.
    std::optional<int> compareWithFile(const QString& path);
    void clearComparison();
    // The group box chose a group: show its parameters.
    void SelectGroup(int group);
    // Serial mode: the single set-up row through which the I/O monitor is opened.
    void showSerialSetupRow();

    // How Save asks for a path (a dialog opened with open(); the device's name proposed); tests replace it.
    void setFileAsker(FileAsker asker) { fileAsker_ = std::move(asker); }
    // Waits for the session's timers; tests shorten them.
    void setTiming(int deviceSpacingMs, int replyWaitMs);

signals:
    // The list's set-up button was clicked: the frame opens the I/O monitor (CMainFrame::OnOpenIoMonitor).
    void openIoMonitor();
    // A .dcf was loaded (or none is current): the group box offers its groups.
    void groupsChanged();
    void statusText(const QString& text);
    // A Get, Set or Reboot is over: the outcome for each device it was for.
    void outcomesReported(const tarn::OperationOutcomes& outcomes);
    // A read began: the devices whose values the list shows changed.
    void shownChanged();
    // A reply came for a request whose operation was over; it changed nothing.
    void lateReplyIgnored();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void initialUpdate();

    std::vector<DeviceEntry> selectedDevices() const override;
    bool onLocalSubnet(const std::string& ip) const override;
    bool sendDatagram(const Bytes& datagram, const std::string& address) override;
    void startTimer(SessionTimer timer, int ms) override;
    void stopTimer(SessionTimer timer) override;
    void definitionsChanged() override { emit groupsChanged(); }
    void restoreSelection(const std::vector<DeviceEntry>& devices) override;
    void setMonitorAddress(const std::string& address) override;
    void setMonitorPort(int port) override;
    void showProgress(const std::string& text) override;
    void focusList() override;
    void lateReply(ByteView datagram) override;
    void shownDevicesChanged() override { emit shownChanged(); }
    int selectionCount() const override;
    bool refuseStaleSelection();
    void operationFinished(const OperationOutcomes& outcomes) override;

    FrameState& frame_;
    Prompter& prompter_;
    DeviceSelection& selection_;
    std::unique_ptr<ManagementSession> session_;
    ParameterList* list_;
    ManagementLink* link_ = nullptr;
    SingleShotTimers<SessionTimer> timers_;
    QLabel* notice_;
    bool initialised_ = false;
    FileAsker fileAsker_;
};

}  // namespace tarn
