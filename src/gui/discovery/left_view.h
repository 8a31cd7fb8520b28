// CLeftView: the left pane. Owns the device tree and the tree socket, and runs discovery: the probe
// goes out by broadcast (or, after Quick Connect, to each typed address by unicast at a steady
// pace), every reply becomes one device item.
// With "Probe every network interface" the probe also goes to each interface's directed broadcast,
// and each device remembers the interface its reply came in on. A reply with a bad checksum is
// listed and reported by "Checksum Error!", one box at a time (ChecksumNotice). A filter box above
// the list narrows it to the devices whose name, IP, MAC, product or version matches.
#pragma once

#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "core/common/liveness.h"
#include "core/discovery/address_list.h"
#include "core/discovery/checksum_notice.h"
#include "core/discovery/device_limit.h"
#include "core/discovery/interface_broadcasts.h"
#include "gui/common/device_selection.h"
#include "gui/discovery/device_tree.h"

class QLineEdit;

namespace tarn {

class CDeviceSocket;
class Prompter;
struct Datagram;
struct FrameState;

class CLeftView : public QWidget, public DeviceSelection {
    Q_OBJECT
public:
    CLeftView(FrameState& frame, Prompter& prompter, QWidget* parent = nullptr);
    ~CLeftView() override;

    DeviceTree* tree() const { return tree_; }
    QLineEdit* filterBox() const { return filter_; }
    // "N devices, M shown, K selected".
    QString countsText() const;
    CDeviceSocket* socket() const { return socket_; }

    // DeviceSelection: the tree's selected devices.
    std::vector<DeviceEntry> selectedDevices() const override { return tree_->selectedEntries(); }
    int selectedCount() const override { return tree_->SelectionCount(); }
    void selectDevices(const std::vector<DeviceEntry>& devices) override { tree_->selectEntries(devices); }

    // Empties the tree and sends the discovery probe.
    void probe();
    // A Quick Connect over many addresses is still sending; stopSweep() sends no more.
    bool sweeping() const { return sweepPace_.isActive(); }
    void stopSweep();
    // One datagram from the tree socket.
    void handleReply(const Datagram& datagram);

signals:
    void deviceSelected();
    // The marks of the list changed (DeviceTree::marksChanged).
    void selectionChanged();
    // A long Quick Connect sent more probes ("Probing 12,000 of 65,534 addresses"); empty when it is over.
    void sweepProgress(const QString& text);
    // A note for the status bar: replies with bad checksums that came while the box was open.
    void statusText(const QString& text);
    // The counts changed (at most a few times a second during a probe).
    void countsChanged(const QString& text);

private:
    void showChecksumError();
    void loadProductNames();
    void sendNextAddresses();

    FrameState& frame_;
    Prompter& prompter_;
    QLineEdit* filter_;
    DeviceTree* tree_;
    QTimer filterDelay_;
    QTimer countsDelay_;
    ProbeSweep sweep_;  // the Quick Connect addresses still to probe
    QTimer sweepPace_;
    CDeviceSocket* socket_;
    std::vector<NetworkInterfaceInfo> probeInterfaces_;  // of the last probe to every interface
    ChecksumNotice checksumNotice_;
    DeviceLimit limit_;  // of the probe in progress
    QTimer limitNotice_;
    // Each reply is read into these, which keep their room from one reply to the next.
    std::string senderIp_;
    DeviceEntry reply_;
    Liveness liveness_;
};

}  // namespace tarn
