#include "gui/discovery/left_view.h"

#include <QTimer>
#include <QVBoxLayout>

#include "core/common/prompter.h"
#include "core/discovery/probe_reply.h"
#include "gui/app/frame_state.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/probe_sender.h"

namespace tarn {

namespace {

// A dotted address as bytes, without the round trip through UTF-8 that toStdString makes: one reply
// of thousands each.
std::string addressText(const QString& dotted) {
    std::string out(static_cast<std::size_t>(dotted.size()), '\0');
    for (qsizetype i = 0; i < dotted.size(); ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>(dotted[i].toLatin1());
    return out;
}

}  // namespace

CLeftView::CLeftView(FrameState& frame, Prompter& prompter, QWidget* parent)
    : QWidget(parent),
      frame_(frame),
      prompter_(prompter),
      tree_(new DeviceTree(this)),
      socket_(new CDeviceSocket(kProbeReplyBufferSize, ManagementChannel::Discovery, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    socket_->create();
    connect(socket_, &CDeviceSocket::socketReceive, this, &CLeftView::handleReply);
    connect(tree_, &DeviceTree::deviceSelected, this, &CLeftView::deviceSelected);
    connect(tree_, &DeviceTree::monitorTargetCleared, this, [this] { frame_.clearMonitorTarget(); });
}

CLeftView::~CLeftView() = default;

void CLeftView::probe() {
    tree_->deleteAllItems();
    socket_->setBroadcastAddress(frame_.broadcastAddress);
    const QString target = frame_.quickConnectActive ? QString::fromStdString(frame_.quickConnectAddress) : QString();
    probeInterfaces_ = sendDiscoveryProbe(*socket_, frame_.devicePort, target, frame_.probeAllInterfaces).interfaces;
}

void CLeftView::handleReply(const Datagram& d) {
    const ByteView bytes = asBytes(d.data);
    ProbeOutcome outcome = readProbeReply(bytes, addressText(d.senderAddress), frame_.quickConnectActive,
                                          [this](std::string_view mac) { return tree_->isListed(mac); });
    if (outcome.verdict != ProbeVerdict::Accepted) return;
    outcome.entry.broadcastAddress = replyBroadcastAddress(d, probeInterfaces_);
    const bool checksumError = outcome.checksumError;
    tree_->appendDevice(std::move(outcome.entry));
    if (!checksumError) return;
    // The device is listed first, so a second reply of the same device while the box is open finds
    // it and is dropped. The box is opened from the event loop, never inside the socket's handler.
    if (checksumNotice_.onBadReply()) {
        QTimer::singleShot(0, this, &CLeftView::showChecksumError);
    } else {
        emit statusText(QString::fromStdString(checksumNoticeStatus(checksumNotice_.countedWhileOpen())));
    }
}

void CLeftView::showChecksumError() {
    prompter_.showNotice("Error", "Checksum Error!", MessageIcon::Warning,
                         liveness_.guard([this] { checksumNotice_.onClosed(); }));
}

}  // namespace tarn
