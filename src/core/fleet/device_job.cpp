#include "core/fleet/device_job.h"

#include "core/common/text.h"
#include "core/fleet/fleet_index.h"
#include "core/manage/configuration_commands.h"
#include "core/params/product_table.h"

namespace tarn {

namespace {

const char* operationName(JobKind kind) {
    switch (kind) {
        case JobKind::Get:
            return "Get";
        case JobKind::Set:
            return "Set";
        case JobKind::Reboot:
            return "Reboot";
        case JobKind::Backup:
            return "Back up";
        case JobKind::Apply:
            return "Apply";
    }
    return "";
}

// "00:11:22:aa:bb:cc" and "00-11-22-AA-BB-CC" are one device.
std::string macKey(const std::string& mac) {
    std::string key = toUpperAscii(mac);
    for (char& c : key)
        if (c == '-') c = ':';
    return key;
}

}  // namespace

// The device in flight.
struct DeviceJob::Current {
    DeviceEntry device;
    std::unique_ptr<ManagementSession> session;
    Step step = Step::Read;
    std::optional<DeviceOutcome> reported;  // what the session reported for the step so far
    std::string lastMessage;
    bool askedThisDevice = false;
    std::vector<RowChange> changes;
    std::string done;  // what the earlier steps did ("set 2 rows")
};

DeviceJob::DeviceJob(DeviceJobHost& host, Prompter& operatorPrompter, SessionSettings settings)
    : host_(host), operator_(operatorPrompter), settings_(std::move(settings)) {
    if (!settings_.definitions) settings_.definitions = std::make_shared<DefinitionStore>();
    if (!settings_.credentialStore) settings_.credentialStore = std::make_shared<CredentialStore>(settings_.logPath);
    auto products = std::make_shared<ProductTable>();
    // A table it cannot read leaves product ids in the index; the sessions report it per device.
    products->LoadProductTable(settings_.dataDir + kProductTableFileName);
    productNames_ = [products](const std::string& id) {
        const int i = products->FindProductId(id);
        return i < 0 ? std::string() : products->entries()[static_cast<std::size_t>(i)].name;
    };
}

DeviceJob::~DeviceJob() = default;

void DeviceJob::start(JobRequest request) {
    if (running()) return;
    request_ = std::move(request);
    valuesByMac_.clear();
    for (const auto& [mac, values] : request_.values) valuesByMac_[macKey(mac)] = &values;
    outcomes_.clear();
    cancelled_ = std::exchange(cancelBeforeStart_, false);
    spaced_ = true;
    next_ = 0;
    devicesDone_ = 0;
    nextLogSave_ = kLogBatch;
    askedOperator_ = false;
    typed_.reset();
    phase_ = Phase::Between;
    for (DeviceOutcome outcome : request_.selection.unreached) {
        outcome.operation = operationName(request_.kind);
        outcomes_.push_back(outcome);
        host_.deviceFinished(DeviceResult{std::move(outcome), {}, nullptr});
    }
    pump();
}

void DeviceJob::cancel() {
    if (!running()) cancelBeforeStart_ = true;
    if (!running() || cancelled_) return;
    cancelled_ = true;
    if (phase_ == Phase::Spacing) phase_ = Phase::Between;
    host_.stopTimer(JobTimer::Spacing);
    pump();
}

void DeviceJob::handleDatagram(ByteView datagram) {
    if (!current_) return;
    intoSession([&] { current_->session->handleDatagram(datagram); });
    pump();
}

void DeviceJob::timerExpired(JobTimer timer) {
    switch (timer) {
        case JobTimer::SessionNextDevice:
        case JobTimer::SessionReplyWait:
            if (!current_) return;
            intoSession([&] {
                current_->session->timerExpired(timer == JobTimer::SessionNextDevice ? SessionTimer::NextDevice
                                                                                     : SessionTimer::ReplyWait);
            });
            break;
        case JobTimer::Spacing:
            spaced_ = true;
            if (phase_ == Phase::Spacing) phase_ = Phase::Between;
            break;
    }
    pump();
}

// Moves the job on after every event, until it waits for one: a device's session that works, or the
// spacing. Calls into a session are counted, so that an answer given inside such a call does not
// move the job from underneath it.
void DeviceJob::pump() {
    while (handling_ == 0) {
        if (phase_ == Phase::Device) {
            if (current_->session->busy()) return;
            stepDone();
            continue;
        }
        if (phase_ != Phase::Between) return;
        const std::size_t total = request_.selection.devices.size();
        if (cancelled_ || next_ >= total) {
            finish();  // the host may end the job from jobFinished: nothing after this
            return;
        }
        if (!spaced_) {
            phase_ = Phase::Spacing;
            return;
        }
        startDevice(request_.selection.devices[next_++]);
    }
}

void DeviceJob::startDevice(const DeviceEntry& device) {
    host_.jobProgress(static_cast<int>(outcomes_.size()), requestedCount(), device.name);
    const bool withFile = request_.kind == JobKind::Apply && !request_.file.empty();
    if (withFile &&
        (device.productId != request_.plan.header.productId || device.version != request_.plan.header.version)) {
        DeviceEntry fileDevice;
        fileDevice.productId = request_.plan.header.productId;
        deviceDone(device,
                   {device, operationName(request_.kind), OutcomeStatus::Skipped,
                    "the file is for " + productText(fileDevice, productNames_) + " " + request_.plan.header.version,
                    request_.file});
        return;
    }
    if (!device.conflictAddress.empty()) {
        deviceDone(device,
                   {device,
                    operationName(request_.kind),
                    OutcomeStatus::Duplicate,
                    "another address (" + device.conflictAddress + ") answered with the same MAC; neither was touched",
                    {}});
        return;
    }
    if (request_.kind == JobKind::Set && !valuesOf(device)) {
        deviceDone(device,
                   {device, operationName(request_.kind), OutcomeStatus::Skipped, "no values for this device", {}});
        return;
    }
    current_ = std::make_unique<Current>();
    current_->device = device;
    current_->session = std::make_unique<ManagementSession>(static_cast<ManagementHost&>(*this),
                                                            static_cast<Prompter&>(*this), settings_);
    phase_ = Phase::Device;
    if (request_.spacingMs > 0) {
        spaced_ = false;
        host_.startTimer(JobTimer::Spacing, request_.spacingMs);
    }
    if (request_.kind == JobKind::Reboot) {
        runStep(Step::Reboot);
    } else {
        runStep(Step::Read);
    }
}

void DeviceJob::runStep(Step step) {
    current_->step = step;
    current_->reported.reset();
    current_->lastMessage.clear();
    ManagementSession& session = *current_->session;
    intoSession([&] {
        switch (step) {
            case Step::Read:
            case Step::ReadAgain:
                session.RequestParameterValues(0);
                return;
            case Step::Set:
                session.set();
                return;
            case Step::Reboot:
                session.reboot();
                return;
        }
    });
}

// After a set: the session reads the device again when the set changed its own ID or password.
bool DeviceJob::startReadAgain() {
    Current& c = *current_;
    const Step was = std::exchange(c.step, Step::ReadAgain);
    c.reported.reset();
    c.lastMessage.clear();
    bool started = false;
    intoSession([&] { started = c.session->readAgainAfterCredentialChange(c.device); });
    if (!started) c.step = was;
    return started;
}

// The device's session rests after a step: what the step did decides the next one.
void DeviceJob::stepDone() {
    Current& c = *current_;
    DeviceOutcome outcome = c.reported.value_or(
        DeviceOutcome{c.device, {}, OutcomeStatus::Failed, c.lastMessage.empty() ? "Not done" : c.lastMessage, {}});
    outcome.device = c.device;
    outcome.operation = operationName(request_.kind);
    const bool changing = request_.kind == JobKind::Apply || request_.kind == JobKind::Set;
    if (changing) outcome.file = request_.file;
    switch (c.step) {
        case Step::Read:
            if (outcome.status != OutcomeStatus::Ok) break;
            if (request_.kind == JobKind::Backup) {
                writeBackup(outcome);
            } else if (changing) {
                if (!prepareChanges(outcome) || request_.dryRun || c.changes.empty()) break;
                runStep(Step::Set);
                return;
            }
            break;
        case Step::Set:
            if (outcome.status != OutcomeStatus::Ok) {
                outcome.message = "set: " + outcome.message;
                break;
            }
            c.done = "set " + std::to_string(c.changes.size()) + (c.changes.size() == 1 ? " row" : " rows");
            if (startReadAgain()) return;
            [[fallthrough]];
        case Step::ReadAgain:
            if (c.step == Step::ReadAgain && outcome.status != OutcomeStatus::Ok) {
                outcome.message = c.done + "; read again: " + outcome.message;
                break;
            }
            outcome.message = c.done;
            if (request_.reboot) {
                runStep(Step::Reboot);
                return;
            }
            break;
        case Step::Reboot:
            if (c.done.empty()) break;
            outcome.message =
                outcome.status == OutcomeStatus::Ok ? c.done + ", rebooted" : c.done + "; reboot: " + outcome.message;
            break;
    }
    deviceDone(c.device, std::move(outcome));
}

// Back up: the values read go to FOLDER/<MAC>.CNF, the bytes `tarnctl cnf save` writes.
void DeviceJob::writeBackup(DeviceOutcome& outcome) {
    const ParameterTable& table = current_->session->table();
    const std::string file = backupFileName(current_->device.mac);
    if (!table.anyValue()) {
        outcome.status = OutcomeStatus::Failed;
        outcome.message = "No values to save";
        return;
    }
    // On disk all at once before the index is written (finish): not one flush per device.
    const StepResult saved = saveParameterList(request_.folder + "/" + file, {current_->device}, table, Flush::Later);
    static_cast<Prompter&>(*this).showReports(saved);
    if (!saved) {
        outcome.status = OutcomeStatus::Failed;
        outcome.message = file + " could not be written";
        return;
    }
    outcome.file = file;
}

// Set, Apply: the file's rows (as far as the plan takes them) and the device's values go into the
// rows read, marked; the rows whose new text is what the device holds lose their mark. False (the
// outcome says why) when the device cannot take them.
bool DeviceJob::prepareChanges(DeviceOutcome& outcome) {
    Current& c = *current_;
    ParameterTable& table = c.session->table();
    const ByteOrder order = byteOrderForProduct(productNumberFromId(c.device.productId));
    std::vector<std::string> before;
    for (int r = 0; r < table.rowCount(); ++r) before.push_back(table.row(r).value);
    const auto fail = [&](std::string message) {
        outcome.status = OutcomeStatus::Failed;
        outcome.message = std::move(message);
        return false;
    };
    if (!request_.file.empty()) {
        const StepResult loaded = loadParameterList(request_.file, {c.device}, table);
        static_cast<Prompter&>(*this).showReports(loaded);
        if (!loaded) return fail("the file does not fit the device");
        limitChanges(table, before, request_.plan.onlyRecords, order);
    }
    if (const auto* values = valuesOf(c.device)) {
        for (const auto& [key, text] : *values) {
            const std::vector<int> rows = table.findRows(key);
            if (rows.empty()) return fail("no parameter '" + key + "' on this device");
            // A name shared by the instances of a class ("Input mode" of every input) is no one row.
            if (rows.size() > 1)
                return fail("'" + key + "' names " + std::to_string(rows.size()) +
                            " rows; give the id of the one to set: " + table.rowIds(rows));
            table.setValue(rows.front(), text);
            table.setModified(table.row(rows.front()).record, true);
        }
    }
    c.changes = limitChanges(table, before, std::nullopt, order);
    outcome.message = changesSummary(c.changes);
    return true;
}

void DeviceJob::deviceDone(const DeviceEntry& device, DeviceOutcome outcome) {
    outcome.device = device;
    outcome.operation = operationName(request_.kind);
    outcomes_.push_back(outcome);
    DeviceResult result{std::move(outcome), {}, nullptr};
    if (current_) {
        result.changes = std::move(current_->changes);
        result.table = &current_->session->table();
    }
    host_.deviceFinished(result);
    dropSession();
    phase_ = Phase::Between;
    ++devicesDone_;
    if (devicesDone_ == nextLogSave_) {
        settings_.credentialStore->save(operator_);
        nextLogSave_ = 2 * nextLogSave_ + kLogBatch;
    }
    host_.jobProgress(static_cast<int>(outcomes_.size()), requestedCount(), {});
}

void DeviceJob::finish() {
    for (std::size_t i = next_; i < request_.selection.devices.size(); ++i) {
        DeviceOutcome outcome{request_.selection.devices[i],
                              operationName(request_.kind),
                              OutcomeStatus::Cancelled,
                              request_.cancelledMessage,
                              {}};
        outcomes_.push_back(outcome);
        host_.deviceFinished(DeviceResult{std::move(outcome), {}, nullptr});
    }
    next_ = request_.selection.devices.size();
    phase_ = Phase::Idle;
    host_.stopTimer(JobTimer::Spacing);
    settings_.credentialStore->save(operator_);  // a failure is shown to the operator as it is
    std::string error;
    if (request_.kind == JobKind::Backup) {
        // The index speaks for the files only once they are on disk.
        if (!flushFileSystem(request_.folder))
            error = "the backups could not be flushed to disk";
        else if (!writeFleetIndex(request_.folder + "/" + kFleetIndexFileName, outcomes_, productNames_, &error) &&
                 error.empty())
            error = "not written";
    }
    host_.jobProgress(static_cast<int>(outcomes_.size()), requestedCount(), {});
    host_.jobFinished(outcomes_, error);
}

void DeviceJob::dropSession() {
    host_.stopTimer(JobTimer::SessionNextDevice);
    host_.stopTimer(JobTimer::SessionReplyWait);
    current_.reset();
}

int DeviceJob::requestedCount() const {
    return static_cast<int>(request_.selection.devices.size() + request_.selection.unreached.size());
}

const std::vector<std::pair<std::string, std::string>>* DeviceJob::valuesOf(const DeviceEntry& device) const {
    const auto it = valuesByMac_.find(macKey(device.mac));
    return it == valuesByMac_.end() ? nullptr : it->second;
}

std::vector<DeviceEntry> DeviceJob::selectedDevices() const {
    if (!current_) return {};
    return {current_->device};
}

bool DeviceJob::sendDatagram(const Bytes& datagram, const std::string& address) {
    return host_.sendDatagram(datagram, address);
}

void DeviceJob::startTimer(SessionTimer timer, int ms) {
    host_.startTimer(timer == SessionTimer::NextDevice ? JobTimer::SessionNextDevice : JobTimer::SessionReplyWait, ms);
}

void DeviceJob::stopTimer(SessionTimer timer) {
    host_.stopTimer(timer == SessionTimer::NextDevice ? JobTimer::SessionNextDevice : JobTimer::SessionReplyWait);
}

void DeviceJob::operationFinished(const OperationOutcomes& outcomes) {
    if (current_ && !outcomes.empty()) keepOutcome(current_->reported, outcomes.front());
}

void DeviceJob::showMessage(const std::string& caption, const std::string& text, MessageIcon) {
    if (!current_) return;
    current_->lastMessage = text;
    host_.deviceMessage(current_->device, caption, text);
}

// The only yes/no question of a job's session is whether to drop edits of other devices; a job's
// session lists one device only, so it is never asked, and would drop them.
void DeviceJob::askYesNo(const std::string&, const std::string&, Answer<bool> answer) { answer(true); }

void DeviceJob::confirm(const ConfirmText& text, Answer<bool> answer) { answer(unattendedConfirm(text.kind)); }

void DeviceJob::askCredentials(const CredentialsQuestion& question, Answer<std::optional<CredentialsAnswer>> answer) {
    if (!current_ || current_->askedThisDevice) {  // the device refused what it was given
        answer(std::nullopt);
        return;
    }
    current_->askedThisDevice = true;
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
        intoSession([&] { answer(std::move(typed)); });
        pump();
    }));
}

}  // namespace tarn
