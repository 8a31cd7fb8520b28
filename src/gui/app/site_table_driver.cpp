#include "gui/app/site_table_driver.h"

#include <QDir>

#include "core/common/file_io.h"
#include "gui/app/frame_state.h"
#include "gui/params/manager_view.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/local_subnet.h"

namespace tarn {

namespace {

constexpr const char* kCaption = "Apply values from table";
constexpr std::size_t kMaxTableSize = 16u << 20;

}  // namespace

SiteTableDriver::SiteTableDriver(FrameState& frame, Prompter& prompter, QWidget* window)
    : QObject(window), frame_(frame), prompter_(prompter), window_(window) {
    for (JobTimer which : {JobTimer::SessionNextDevice, JobTimer::SessionReplyWait, JobTimer::Spacing}) {
        auto t = std::make_unique<QTimer>();
        t->setSingleShot(true);
        connect(t.get(), &QTimer::timeout, this, [this, which] {
            if (job_) job_->timerExpired(which);
        });
        timers_[which] = std::move(t);
    }
}

SiteTableDriver::~SiteTableDriver() = default;

bool SiteTableDriver::open(const QString& path, std::vector<DeviceEntry> known) {
    if (running() || dialog_) {
        prompter_.showMessage(kCaption, "A table is being worked on: wait until it is done.", MessageIcon::Warning);
        return false;
    }
    const FileContent file = readWholeFile(path.toStdString(), kMaxTableSize);
    if (file.status != ReadStatus::Ok) {
        prompter_.showMessage(kCaption, "Cannot read " + path.toStdString(), MessageIcon::Warning);
        return false;
    }
    SiteRead read = parseSiteTable(file.text);
    if (!read.problems.empty()) {
        prompter_.showMessage(kCaption,
                              path.toStdString() + " cannot be used:\n" + siteProblemsText(read.table, read.problems),
                              MessageIcon::Warning);
        return false;
    }
    FleetFilter filter;
    for (const SiteDevice& device : read.table.devices) filter.macs.push_back(device.mac);
    listed_ = selectFleet(known, filter, [](const std::string&) { return std::string(); });
    dialog_ = new SiteTableDialog(std::move(read.table), std::move(known), frame_.dataDir, prompter_, window_);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog_, &SiteTableDialog::applyConfirmed, this,
            [this](const SiteValues& values) { startJob(JobKind::Set, values); });
    // Closed while the devices are read: the device being read finishes, the rest are not.
    connect(dialog_, &QDialog::rejected, this, [this] {
        if (job_ && kind_ == JobKind::Get) job_->cancel();
    });
    dialog_->open();
    startJob(JobKind::Get, {});
    return true;
}

void SiteTableDriver::startJob(JobKind kind, SiteValues values) {
    if (!socket_) {
        socket_ = new CDeviceSocket(CManagerView::kReceiveCapacity, ManagementChannel::Management, this);
        socket_->create();
        connect(socket_, &CDeviceSocket::socketReceive, this, [this](const Datagram& d) {
            if (job_) job_->handleDatagram(asBytes(d.data));
        });
    }
    SessionSettings settings;
    settings.dataDir = QDir(frame_.dataDir).absolutePath().toStdString() + "/";
    settings.logPath = QDir(frame_.writableDir).filePath(QStringLiteral("pwd.ini")).toStdString();
    settings.replyWaitMs = replyWaitMs_;
    kind_ = kind;
    job_ = std::make_unique<DeviceJob>(static_cast<DeviceJobHost&>(*this), prompter_, settings);
    JobRequest request;
    request.kind = kind;
    request.selection = listed_;
    if (kind == JobKind::Set) {
        // Only the devices that change: the others are not touched again.
        std::erase_if(request.selection.devices,
                      [&values](const DeviceEntry& d) { return !values.count(siteMac(d.mac).value_or(d.mac)); });
        request.selection.unreached.clear();
    }
    request.values = std::move(values);
    request.spacingMs = spacingMs_;
    job_->start(std::move(request));
}

bool SiteTableDriver::onLocalSubnet(const std::string& ip) const { return IsOnLocalSubnet(ip); }

bool SiteTableDriver::sendDatagram(const Bytes& datagram, const std::string& address) {
    socket_->setBroadcastAddress(frame_.broadcastAddress);
    return socket_->sendTo(
        QByteArray(reinterpret_cast<const char*>(datagram.data()), static_cast<qsizetype>(datagram.size())),
        frame_.devicePort, QString::fromStdString(address));
}

void SiteTableDriver::startTimer(JobTimer which, int ms) { timers_.at(which)->start(ms); }

void SiteTableDriver::stopTimer(JobTimer which) { timers_.at(which)->stop(); }

void SiteTableDriver::jobProgress(int done, int total, const std::string& current) {
    const QString verb = kind_ == JobKind::Get ? QStringLiteral("Reading") : QStringLiteral("Setting values of");
    emit progress(current.empty()
                      ? QString()
                      : QStringLiteral("%1 %2 (%3 of %4)...").arg(verb, latin1(current)).arg(done + 1).arg(total));
}

void SiteTableDriver::deviceFinished(const DeviceResult& result) {
    if (kind_ != JobKind::Get || !dialog_) return;
    const DeviceOutcome& o = result.outcome;
    if (o.status == OutcomeStatus::Ok && result.table)
        dialog_->deviceRead(o.device, *result.table);
    else
        dialog_->deviceFailed(o.device.mac, std::string(statusName(o.status)) + ": " + o.message);
}

void SiteTableDriver::jobFinished(const OperationOutcomes& outcomes, const std::string&) {
    emit progress(QString());
    if (kind_ == JobKind::Get) {
        if (dialog_) dialog_->readingDone();
        return;
    }
    emit finished(outcomes);
}

}  // namespace tarn
