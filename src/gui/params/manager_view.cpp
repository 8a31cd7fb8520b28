#include "gui/params/manager_view.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

#include "core/manage/configuration_commands.h"
#include "core/params/configuration_file.h"
#include "gui/common/frame_state.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/local_subnet.h"
#include "link/discovery/management_link.h"

namespace tarn {

namespace {

std::string folderPath(const QString& dir) { return QDir(dir).absolutePath().toStdString() + "/"; }

}  // namespace

CManagerView::CManagerView(FrameState& frame, Prompter& prompter, DeviceSelection& selection, QWidget* parent)
    : QWidget(parent),
      frame_(frame),
      prompter_(prompter),
      selection_(selection),
      timers_({SessionTimer::NextDevice, SessionTimer::ReplyWait},
              [this](SessionTimer which) { session_->timerExpired(which); }) {
    SessionSettings settings;
    settings.dataDir = folderPath(frame_.dataDir);
    settings.logPath = QDir(frame_.writableDir).filePath(QStringLiteral("pwd.ini")).toStdString();
    session_ = std::make_unique<ManagementSession>(static_cast<ManagementHost&>(*this), prompter_, settings);
    list_ = new ParameterList(session_->table(), this);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("selectionNotice"));
    notice_->setWordWrap(true);
    notice_->setTextFormat(Qt::PlainText);
    // An information bar in the list's own light yellow, dark text whatever the desktop's palette.
    notice_->setStyleSheet(
        QStringLiteral("QLabel#selectionNotice { background-color: #fafeda; color: black;"
                       " border: 1px solid #b8b060; padding: 4px 6px; }"));
    notice_->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(notice_);
    layout->addWidget(list_);
    connect(list_, &ParameterList::openIoMonitor, this, &CManagerView::openIoMonitor);

    fileAsker_ = [this](const FileQuestion& question, FileAnswer answer) {
        openFileDialog(this, question, std::move(answer));
    };
}

// The list shows the session's table: it goes first.
CManagerView::~CManagerView() { delete list_; }

void CManagerView::setTiming(int deviceSpacingMs, int replyWaitMs) {
    session_->setTiming(deviceSpacingMs, replyWaitMs);
}

void CManagerView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    initialUpdate();
}

// The first update of the view: its management link is opened. A view that is used before it is
// shown does it then.
void CManagerView::initialUpdate() {
    if (initialised_) return;
    initialised_ = true;
    link_ = new ManagementLink(this);
    link_->open();
    connect(link_, &ManagementLink::replyReceived, this,
            [this](const QByteArray& d) { session_->handleDatagram(asBytes(d)); });
}

ManagementLink* CManagerView::link() {
    initialUpdate();
    return link_;
}

void CManagerView::RequestParameterValues(int group) {
    initialUpdate();
    session_->RequestParameterValues(group);
}

void CManagerView::setValues() {
    initialUpdate();
    session_->set();
}

void CManagerView::reboot() {
    initialUpdate();
    session_->reboot();
}

void CManagerView::clear() {
    initialUpdate();
    session_->clear();
    // With every value gone, a comparison has nothing left to compare.
    table().clearComparison();
}

void CManagerView::SelectGroup(int group) {
    initialUpdate();
    session_->SelectGroup(group);
}

bool CManagerView::updateSelectionNotice() {
    const QString text = latin1(session_->selectionNotice());
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
    return text.isEmpty();
}

int CManagerView::selectionCount() const { return selection_.selectedCount(); }

// Save and Compare take the list's values for the selected devices: not while they are another's.
bool CManagerView::refuseStaleSelection() {
    if (session_->showsSelection()) return false;
    prompter_.showMessage("Error", session_->selectionNotice(), MessageIcon::Warning);
    return true;
}

void CManagerView::saveToFile() {
    if (refuseStaleSelection()) return;
    const std::vector<DeviceEntry> selected = selectedDevices();
    if (selected.empty()) {
        prompter_.showMessage("Error", kNoSelectedData, MessageIcon::Warning);
        return;
    }
    // The selection and the rows as they are now are saved, whatever replies change while the name
    // is asked for.
    const QString proposed = QDir(frame_.lastConfigurationFolder).filePath(latin1(selected.front().name));
    fileAsker_(
        {FileQuestion::Kind::SaveFile, QStringLiteral("Save"), proposed, QString::fromLatin1(kConfigurationFilter)},
        [this, header = configurationHeader(selected), rows = table().configurationRows()](const QString& chosen) {
            frame_.lastConfigurationFolder = QFileInfo(chosen).absolutePath();
            prompter_.showReports(SaveConfiguration(configurationSavePath(chosen.toStdString()), header, rows));
        });
}

void CManagerView::loadFile(const QString& path) {
    prompter_.showReports(tarn::loadParameterList(path.toStdString(), selectedDevices(), table()));
}

std::optional<int> CManagerView::compareWithFile(const QString& path) {
    if (refuseStaleSelection()) return std::nullopt;
    const StepResult compared = compareConfiguration(path.toStdString(), selectedDevices(), table());
    prompter_.showReports(compared);
    if (!compared) return std::nullopt;
    return table().differingRowCount();
}

void CManagerView::clearComparison() { table().clearComparison(); }

void CManagerView::showSerialSetupRow() { session_->table().showSerialSetupRow(); }

std::vector<DeviceEntry> CManagerView::selectedDevices() const { return selection_.selectedDevices(); }

void CManagerView::restoreSelection(const std::vector<DeviceEntry>& devices) { selection_.selectDevices(devices); }

bool CManagerView::onLocalSubnet(const std::string& ip) const { return IsOnLocalSubnet(ip); }

bool CManagerView::sendDatagram(const Bytes& datagram, const std::string& address) {
    ManagementLink* l = link();
    l->setBroadcastAddress(frame_.broadcastAddress);
    l->setDevicePort(frame_.devicePort);
    return l->send(datagram, address);
}

void CManagerView::startTimer(SessionTimer which, int ms) { timers_.start(which, ms); }

void CManagerView::stopTimer(SessionTimer which) { timers_.stop(which); }

void CManagerView::setMonitorAddress(const std::string& address) { frame_.monitorAddress = address; }

void CManagerView::setMonitorPort(int port) { frame_.monitorPort = port; }

void CManagerView::showProgress(const std::string& text) { emit statusText(QString::fromStdString(text)); }

void CManagerView::focusList() { list_->setFocus(Qt::OtherFocusReason); }

void CManagerView::operationFinished(const OperationOutcomes& outcomes) { emit outcomesReported(outcomes); }

// The Traffic window has shown the datagram as it arrived; this line says it changed nothing.
void CManagerView::lateReply(ByteView datagram) {
    ManagementLink::noteIgnored(datagram, "late");
    emit lateReplyIgnored();
}

}  // namespace tarn
