#include "gui/app/job_driver.h"

#include <QDir>

#include "gui/common/frame_state.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/local_subnet.h"
#include "link/discovery/management_link.h"

namespace tarn {

JobDriver::JobDriver(FrameState& frame, Prompter& prompter, QObject* parent)
    : QObject(parent),
      frame_(frame),
      prompter_(prompter),
      timers_({JobTimer::SessionNextDevice, JobTimer::SessionReplyWait, JobTimer::Spacing}, [this](JobTimer which) {
          if (job_) job_->timerExpired(which);
      }) {}

JobDriver::~JobDriver() = default;

bool JobDriver::start(JobRequest request) {
    if (running()) return false;
    if (!link_) {
        link_ = new ManagementLink(this);
        link_->open();
        connect(link_, &ManagementLink::replyReceived, this, [this](const QByteArray& d) {
            if (job_) job_->handleDatagram(asBytes(d));
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
    link_->setBroadcastAddress(frame_.broadcastAddress);
    link_->setDevicePort(frame_.devicePort);
    return link_->send(datagram, address);
}

void JobDriver::startTimer(JobTimer which, int ms) { timers_.start(which, ms); }

void JobDriver::stopTimer(JobTimer which) { timers_.stop(which); }

void JobDriver::jobProgress(int done, int total, const std::string& current) {
    emit progress(done, total, latin1(current));
}

void JobDriver::deviceFinished(const DeviceResult& result) { emit deviceDone(result); }

void JobDriver::jobFinished(const OperationOutcomes& outcomes, const std::string& indexError) {
    emit finished(outcomes, QString::fromStdString(indexError));
}

}  // namespace tarn
