// CLeftView: the left pane. Owns the device tree and the tree socket, and runs discovery: the probe
// goes out by broadcast (or to the Quick Connect address), every reply becomes one device item.
// With "Probe every network interface" the probe also goes to each interface's directed broadcast,
// and each device remembers the interface its reply came in on.
#pragma once

#include <QWidget>

#include <vector>

#include "core/discovery/interface_broadcasts.h"
#include "gui/discovery/device_tree.h"

namespace tarn {

class CDeviceSocket;
class Prompter;
struct Datagram;
struct FrameState;

class CLeftView : public QWidget {
    Q_OBJECT
public:
    CLeftView(FrameState& frame, Prompter& prompter, QWidget* parent = nullptr);
    ~CLeftView() override;

    DeviceTree* tree() const { return tree_; }
    CDeviceSocket* socket() const { return socket_; }

    // Empties the tree and sends the discovery probe.
    void probe();
    // One datagram from the tree socket.
    void handleReply(const Datagram& datagram);

signals:
    void deviceSelected();

private:
    void showPendingChecksumErrors();

    FrameState& frame_;
    Prompter& prompter_;
    DeviceTree* tree_;
    CDeviceSocket* socket_;
    std::vector<NetworkInterfaceInfo> probeInterfaces_;  // of the last probe to every interface
    int pendingChecksumErrors_ = 0;
    bool showingChecksumError_ = false;
};

}  // namespace tarn
