#include "gui/discovery/left_view.h"

#include <ctime>

#include <QDir>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/common/file_io.h"
#include "core/common/prompter.h"
#include "core/discovery/addressing.h"
#include "core/discovery/probe_reply.h"
#include "core/params/product_table.h"
#include "gui/common/frame_state.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/probe_sender.h"

namespace tarn {

namespace {

// A filter over 100,000 devices takes a few tens of milliseconds: it waits for a pause in the typing.
constexpr int kFilterDelayMs = 150;
// The counts below the list follow a probe of thousands of devices a few times a second.
constexpr int kCountsDelayMs = 100;

// A dotted address as bytes, without the round trip through UTF-8 that toStdString makes: one reply
// of thousands each, into a string that keeps its room.
void addressText(const QString& dotted, std::string& out) {
    out.resize(static_cast<std::size_t>(dotted.size()));
    for (qsizetype i = 0; i < dotted.size(); ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>(dotted[i].toLatin1());
}

}  // namespace

CLeftView::CLeftView(FrameState& frame, Prompter& prompter, QWidget* parent)
    : QWidget(parent),
      frame_(frame),
      prompter_(prompter),
      filter_(new QLineEdit(this)),
      tree_(new DeviceTree(this)),
      socket_(new CDeviceSocket(kProbeReplyBufferSize, ManagementChannel::Discovery, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    filter_->setPlaceholderText(QStringLiteral("Filter: name, IP, MAC, product or version (* and ?)"));
    filter_->setClearButtonEnabled(true);
    filter_->setToolTip(
        QStringLiteral("Show only the devices whose name, IP, MAC, product or version matches;\n"
                       "* stands for any text, ? for one character"));
    layout->addWidget(filter_);
    layout->addWidget(tree_);
    setFocusProxy(tree_);
    filterDelay_.setSingleShot(true);
    filterDelay_.setInterval(kFilterDelayMs);
    connect(filter_, &QLineEdit::textChanged, &filterDelay_, qOverload<>(&QTimer::start));
    connect(&filterDelay_, &QTimer::timeout, this, [this] { tree_->setFilter(filter_->text()); });
    // Enter in the box filters at once and goes on to the list.
    connect(filter_, &QLineEdit::returnPressed, this, [this] {
        filterDelay_.stop();
        tree_->setFilter(filter_->text());
        tree_->setFocus(Qt::OtherFocusReason);
    });
    countsDelay_.setSingleShot(true);
    countsDelay_.setInterval(kCountsDelayMs);
    connect(tree_->deviceModel(), &DeviceModel::countsChanged, this, [this] {
        if (!countsDelay_.isActive()) countsDelay_.start();
    });
    connect(&countsDelay_, &QTimer::timeout, this, [this] { emit countsChanged(countsText()); });
    loadProductNames();
    sweepPace_.setInterval(ProbeSweep::kIntervalMs);
    connect(&sweepPace_, &QTimer::timeout, this, &CLeftView::sendNextAddresses);
    // A flood past the limit is told a few times a second, not once per reply.
    limitNotice_.setSingleShot(true);
    limitNotice_.setInterval(kCountsDelayMs * 3);
    connect(&limitNotice_, &QTimer::timeout, this,
            [this] { emit statusText(QString::fromStdString(limit_.message())); });
    socket_->create();
    connect(socket_, &CDeviceSocket::socketReceive, this, &CLeftView::handleReply);
    connect(tree_, &DeviceTree::deviceSelected, this, &CLeftView::deviceSelected);
    connect(tree_, &DeviceTree::marksChanged, this, &CLeftView::selectionChanged);
    connect(tree_, &DeviceTree::monitorTargetCleared, this, [this] { frame_.clearMonitorTarget(); });
}

CLeftView::~CLeftView() = default;

QString CLeftView::countsText() const {
    return QStringLiteral("%1 devices, %2 shown, %3 selected")
        .arg(tree_->deviceCount())
        .arg(tree_->shownCount())
        .arg(tree_->SelectionCount());
}

// The Product column names the products prodid.ini knows; a missing or unreadable file leaves the
// ids. Read only: the list never creates the file.
void CLeftView::loadProductNames() {
    const FileContent file =
        readWholeFile(QDir(frame_.dataDir).filePath(QString::fromLatin1(kProductTableFileName)).toStdString(), 1 << 20);
    if (file.status != ReadStatus::Ok) return;
    ProductTable table;
    table.loadFromText(file.text, kProductTableFileName);  // what it cannot read keeps its ids
    for (const ProductEntry& product : table.entries()) tree_->deviceModel()->setProductName(product.id, product.name);
}

void CLeftView::probe() {
    tree_->deleteAllItems();
    limit_ = DeviceLimit(frame_.maxDevices);
    socket_->setBroadcastAddress(frame_.broadcastAddress);
    sweepPace_.stop();
    probeInterfaces_.clear();
    if (!frame_.quickConnectActive) {
        probeInterfaces_ = sendDiscoveryProbe(*socket_, frame_.devicePort, {}, frame_.probeAllInterfaces).interfaces;
        return;
    }
    // The typed addresses one by one, a batch at a time from the event loop. A text that does not
    // read (never accepted by the dialog) probes nothing.
    sweep_ = ProbeSweep(parseAddressList(frame_.quickConnectAddress).addresses);
    sweepPace_.start();  // before the first batch, whose progress already offers Stop
    sendNextAddresses();
}

void CLeftView::stopSweep() {
    if (!sweeping()) return;
    sweep_.stop();
    sendNextAddresses();
}

void CLeftView::sendNextAddresses() {
    for (std::uint32_t to : sweep_.nextBatch())
        sendDiscoveryProbe(*socket_, frame_.devicePort, QHostAddress(to).toString(), false);
    if (sweep_.done()) sweepPace_.stop();
    if (sweep_.showsProgress())
        emit sweepProgress(sweep_.done() ? QString() : QString::fromStdString(sweep_.progressText()));
}

void CLeftView::handleReply(const Datagram& d) {
    const ByteView bytes = asBytes(d.data);
    int listed = -1;
    bool checksumError = false;
    addressText(d.senderAddress, senderIp_);
    const ProbeVerdict verdict = readProbeReply(
        bytes, senderIp_, frame_.quickConnectActive,
        [&](std::string_view mac) {
            listed = tree_->deviceModel()->inventory().find(mac);
            return listed >= 0;
        },
        reply_, checksumError);
    // Seconds are all the list shows; the coarse clock costs nothing per reply of a burst.
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr)) * 1000;
    if (verdict != ProbeVerdict::Accepted && verdict != ProbeVerdict::Duplicate) return;
    // Quick Connect asked these addresses only: a reply from any other answers nothing.
    if (frame_.quickConnectActive && !sweep_.probes(parseIPv4(senderIp_).value_or(0))) return;
    if (verdict == ProbeVerdict::Duplicate) {
        tree_->deviceModel()->claimedBy(listed, senderIp_, now);
        return;
    }
    if (!limit_.admits(static_cast<std::size_t>(tree_->deviceCount()))) {
        if (!limitNotice_.isActive()) limitNotice_.start();
        return;
    }
    reply_.broadcastAddress = replyBroadcastAddress(d, probeInterfaces_);
    tree_->appendDevice(reply_, now);
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
