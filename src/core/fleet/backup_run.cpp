#include "core/fleet/backup_run.h"

#include "core/fleet/fleet_index.h"
#include "core/manage/configuration_commands.h"
#include "core/params/product_table.h"

namespace tarn {

namespace {

constexpr const char* kBackUp = "Back up";

}  // namespace

BackupRun::BackupRun(BackupHost& host, Prompter& operatorPrompter, SessionSettings settings, int spacingMs)
    : host_(host), operator_(operatorPrompter), settings_(std::move(settings)), spacingMs_(spacingMs) {
    if (!settings_.definitions) settings_.definitions = std::make_shared<DefinitionStore>();
    // One pwd.ini for the whole run, written once at its end.
    if (!settings_.credentialStore) settings_.credentialStore = std::make_shared<CredentialStore>(settings_.logPath);
    auto products = std::make_shared<ProductTable>();
    // A table it cannot read leaves the ids in the file names; nobody is there to be told.
    products->LoadProductTable(settings_.dataDir + kProductTableFileName);
    productNames_ = [products](const std::string& id) {
        const int i = products->FindProductId(id);
        return i < 0 ? std::string() : products->entries()[static_cast<std::size_t>(i)].name;
    };
}

BackupRun::~BackupRun() = default;

void BackupRun::start(std::vector<DeviceEntry> devices, const std::string& folder) {
    devices_ = std::move(devices);
    folder_ = folder;
    next_ = 0;
    outcomes_.clear();
    cancelled_ = false;
    askedOperator_ = false;
    typed_.reset();
    running_ = true;
    startDevice();
}

// The operator stops the run: the device being read ends as it is, the rest are cancelled, and the
// index still lists every device.
void BackupRun::cancel() {
    if (!running_ || cancelled_) return;
    cancelled_ = true;
    host_.stopTimer(BackupTimer::Spacing);
    host_.stopTimer(BackupTimer::Settle);
    if (session_) {
        DeviceOutcome outcome{devices_[next_ - 1], kBackUp, OutcomeStatus::Cancelled, "Cancelled", {}};
        outcomes_.push_back(std::move(outcome));
        dropSession();
    }
    finish();
}

void BackupRun::handleDatagram(ByteView datagram) {
    if (session_) session_->handleDatagram(datagram);
}

void BackupRun::timerExpired(BackupTimer timer) {
    if (!running_) return;
    switch (timer) {
        case BackupTimer::SessionNextDevice:
            if (session_) session_->timerExpired(SessionTimer::NextDevice);
            return;
        case BackupTimer::SessionReplyWait:
            if (session_) session_->timerExpired(SessionTimer::ReplyWait);
            return;
        case BackupTimer::Spacing:
            startDevice();
            return;
        case BackupTimer::Settle:
            // A refused get is read again by the session; the device is over once it rests.
            if (session_ && !session_->busy()) deviceDone();
            return;
    }
}

void BackupRun::startDevice() {
    if (cancelled_) return;
    if (next_ >= devices_.size()) {
        finish();
        return;
    }
    const DeviceEntry& device = devices_[next_++];
    host_.backupProgress(static_cast<int>(outcomes_.size()), static_cast<int>(devices_.size()), device.name);
    current_.reset();
    lastMessage_.clear();
    askedThisDevice_ = false;
    session_ = std::make_unique<ManagementSession>(static_cast<ManagementHost&>(*this), static_cast<Prompter&>(*this),
                                                   settings_);
    session_->seedRequestIds(static_cast<std::uint32_t>(0x5A17u + next_ * 7919u));
    session_->RequestParameterValues(0);
    if (!current_ && !session_->busy()) deviceDone();  // refused before anything was sent
}

// The device's values are read (or not): its .CNF is written, and the next device follows after
// the spacing.
void BackupRun::deviceDone() {
    const DeviceEntry& device = devices_[next_ - 1];
    DeviceOutcome outcome = current_.value_or(DeviceOutcome{device, kBackUp, OutcomeStatus::Failed, lastMessage_, {}});
    outcome.device = device;
    outcome.operation = kBackUp;
    if (outcome.status == OutcomeStatus::Ok) {
        const ParameterTable& table = session_->table();
        bool anyValue = false;
        for (int r = 0; r < table.recordRowCount(); ++r) anyValue = anyValue || !table.row(r).value.empty();
        const std::string file = backupFileName(device.mac);
        if (!anyValue) {
            outcome.status = OutcomeStatus::Failed;
            outcome.message = "No values to save";
        } else if (!saveConfiguration(folder_ + "/" + file, {device}, table)) {
            outcome.status = OutcomeStatus::Failed;
            outcome.message = file + " could not be written";
        } else {
            outcome.file = file;
        }
    }
    outcomes_.push_back(std::move(outcome));
    dropSession();
    if (next_ >= devices_.size()) {
        finish();
        return;
    }
    host_.backupProgress(static_cast<int>(outcomes_.size()), static_cast<int>(devices_.size()), {});
    host_.startTimer(BackupTimer::Spacing, spacingMs_);
}

void BackupRun::finish() {
    for (std::size_t i = outcomes_.size(); i < devices_.size(); ++i)
        outcomes_.push_back({devices_[i], kBackUp, OutcomeStatus::Cancelled, "Cancelled", {}});
    running_ = false;
    settings_.credentialStore->save(operator_);  // a failure is shown to the operator as it is
    std::string error;
    if (!writeFleetIndex(folder_ + "/" + kFleetIndexFileName, outcomes_, productNames_, &error) && error.empty())
        error = "not written";
    host_.backupProgress(static_cast<int>(outcomes_.size()), static_cast<int>(devices_.size()), {});
    host_.backupFinished(outcomes_, error);
}

void BackupRun::dropSession() {
    host_.stopTimer(BackupTimer::SessionNextDevice);
    host_.stopTimer(BackupTimer::SessionReplyWait);
    session_.reset();
}

std::vector<DeviceEntry> BackupRun::selectedDevices() const {
    if (next_ == 0 || next_ > devices_.size()) return {};
    return {devices_[next_ - 1]};
}

bool BackupRun::sendDatagram(const Bytes& datagram, const std::string& address) {
    return host_.sendDatagram(datagram, address);
}

void BackupRun::startTimer(SessionTimer timer, int ms) {
    host_.startTimer(timer == SessionTimer::NextDevice ? BackupTimer::SessionNextDevice : BackupTimer::SessionReplyWait,
                     ms);
}

void BackupRun::stopTimer(SessionTimer timer) {
    host_.stopTimer(timer == SessionTimer::NextDevice ? BackupTimer::SessionNextDevice : BackupTimer::SessionReplyWait);
}

// A refusal stands unless the device then took the get.
void BackupRun::operationFinished(const OperationOutcomes& outcomes) {
    if (outcomes.empty()) return;
    const DeviceOutcome& reported = outcomes.front();
    if (!current_ || current_->status != OutcomeStatus::Refused || reported.status == OutcomeStatus::Ok)
        current_ = reported;
    host_.startTimer(BackupTimer::Settle, 0);
}

void BackupRun::showMessage(const std::string&, const std::string& text, MessageIcon) { lastMessage_ = text; }

void BackupRun::askCredentials(const CredentialsQuestion& question, Answer<std::optional<CredentialsAnswer>> answer) {
    if (askedThisDevice_) {  // the device refused what it was given
        answer(std::nullopt);
        return;
    }
    askedThisDevice_ = true;
    if (askedOperator_) {
        answer(typed_ ? std::optional<CredentialsAnswer>(CredentialsAnswer{*typed_, false}) : std::nullopt);
        return;
    }
    askedOperator_ = true;
    CredentialsQuestion once = question;
    once.refused = false;  // asked once, for every device pwd.ini does not know
    once.otherUnknownDevices = 0;
    operator_.askCredentials(once, liveness_.guard([this, answer](std::optional<CredentialsAnswer> typed) {
        if (typed) typed_ = typed->credentials;
        answer(std::move(typed));
    }));
}

}  // namespace tarn
