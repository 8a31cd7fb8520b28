#include "gui/app/job_driver.h"

#include <QDir>

#include "gui/app/frame_state.h"
#include "gui/params/manager_view.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/local_subnet.h"

namespace tarn {

JobDriver::JobDriver(FrameState& frame, Prompter& prompter, QObject* parent)
    : QObject(parent), frame_(frame), prompter_(prompter) {
    for (JobTimer which : {JobTimer::SessionNextDevice, JobTimer::SessionReplyWait, JobTimer::Spacing}) {
        auto t = std::make_unique<QTimer>();
        t->setSingleShot(true);
        connect(t.get(), &QTimer::timeout, this, [this, which] {
            if (job_) job_->timerExpired(which);
        });
        timers_[which] = std::move(t);
    }
}

JobDriver::~JobDriver() = default;

bool JobDriver::start(JobRequest request) {
    if (running()) return false;
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
    job_ = std::make_unique<DeviceJob>(static_cast<DeviceJobHost&>(*this), prompter_, settings);
    request.spacingMs = spacingMs_;
    job_->start(std::move(request));
    return true;
}

void JobDriver::cancel() {
    if (job_) job_->cancel();
}

bool JobDriver::onLocalSubnet(const std::string& ip) const { return IsOnLocalSubnet(ip); }

bool JobDriver::sendDatagram(const Bytes& datagram, const std::string& address) {
    socket_->setBroadcastAddress(frame_.broadcastAddress);
    return socket_->sendTo(
        QByteArray(reinterpret_cast<const char*>(datagram.data()), static_cast<qsizetype>(datagram.size())),
        frame_.devicePort, QString::fromStdString(address));
}

void JobDriver::startTimer(JobTimer which, int ms) { timers_.at(which)->start(ms); }

void JobDriver::stopTimer(JobTimer which) { timers_.at(which)->stop(); }

void JobDriver::jobProgress(int done, int total, const std::string& current) {
    emit progress(done, total, latin1(current));
}

void JobDriver::deviceFinished(const DeviceResult& result) { emit deviceDone(result); }

void JobDriver::jobFinished(const OperationOutcomes& outcomes, const std::string& indexError) {
    emit finished(outcomes, QString::fromStdString(indexError));
}

}  // namespace tarn
