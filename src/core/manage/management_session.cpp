#include "core/manage/management_session.h"

#include <algorithm>
#include <cstdio>

#include "core/common/text.h"
#include "core/discovery/addressing.h"
#include "core/params/product_table.h"
#include "core/params/value_codec.h"

namespace tarn {

namespace {

constexpr const char* kDiscardEditsCaption = "Parameters";

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

}  // namespace

ManagementSession::ManagementSession(ManagementHost& host, Prompter& prompter, SessionSettings settings)
    : host_(host),
      prompter_(prompter),
      settings_(std::move(settings)),
      credentials_(settings_.logPath, prompter, settings_.credentialStore),
      store_(settings_.definitions ? settings_.definitions : std::make_shared<DefinitionStore>()) {
    if (!settings_.requestIds) settings_.requestIds = randomRequestId;
}

// Another selection while the list holds edits (red values) of the devices it shows: they would be
// lost, so the operator is asked once. Keeping them puts the tree's selection back on those devices,
// so that a Set never writes them to devices whose values the list does not show.
void ManagementSession::RequestParameterValues(int group) {
    if (asking()) return;
    const int edited = table_.modifiedCount();
    const std::vector<DeviceEntry> selected = host_.selectedDevices();
    const auto sameDevices = [&] {
        return selected.size() == listed_.size() &&
               std::equal(selected.begin(), selected.end(), listed_.begin(),
                          [](const DeviceEntry& a, const DeviceEntry& b) { return a.mac == b.mac && a.ip == b.ip; });
    };
    if (group != 0 || edited == 0 || listed_.empty() || sameDevices()) {
        startGet(group);
        return;
    }
    question_ = Question::DiscardEdits;
    prompter_.askYesNo(kDiscardEditsCaption, "Discard " + std::to_string(edited) + " edited values?",
                       liveness_.guard([this, group](bool yes) {
                           if (question_ != Question::DiscardEdits) return;
                           question_ = Question::None;
                           if (yes)
                               startGet(group);
                           else
                               host_.restoreSelection(listed_);
                       }));
}

void ManagementSession::SelectGroup(int group) {
    const DefinitionSet* set = store_->current();
    if (asking() || !set || group < 0 || group >= set->groupCount()) return;
    selectedGroup_ = group;
    table_.showGroup(group);
    startGet(group);
}

void ManagementSession::stopReading() {
    if (asking() || !reading()) return;
    op_.stopped = true;
    if (op_.phase == Phase::Sending) {
        op_.notSent = kReadStopped;
        op_.notSentStatus = OutcomeStatus::Cancelled;
    }
    host_.stopTimer(SessionTimer::NextDevice);
    op_.phase = Phase::Waiting;
    complete();
}

bool ManagementSession::showsSelection() const {
    // Rows without values (none read, or the list emptied) show no device.
    const std::size_t shown = table_.recordRowCount() > 0 ? listed_.size() : 0;
    if (host_.selectionCount() != static_cast<int>(shown)) return false;
    return shown == 0 || sameDevices(listed_, host_.selectedDevices());
}

std::string ManagementSession::selectionNotice() const {
    if (showsSelection()) return {};
    const int selected = host_.selectionCount();
    const std::string name = selected == 1 ? host_.selectedDevices().front().name : std::string();
    return staleValuesNotice(table_.recordRowCount() > 0 ? listed_ : std::vector<DeviceEntry>{}, selected, name);
}

bool ManagementSession::readAgainAfterCredentialChange(const DeviceEntry& device) {
    if (!credentialChangePending(toUpperAscii(device.mac))) return false;
    RequestParameterValues(0);
    return true;
}

void ManagementSession::set() {
    if (asking()) return;
    if (!showsSelection()) {
        prompter_.showMessage(kErrorCaption, selectionNotice(), MessageIcon::Warning);
        return;
    }
    doSet();
}

void ManagementSession::reboot() {
    if (!asking()) doReboot();
}

void ManagementSession::clear() {
    if (asking()) return;
    endOperation();
    credentials_.clear();
    table_.clearValues();
    table_.clearMarks();
}

void ManagementSession::timerExpired(SessionTimer timer) {
    // While the password dialog is open the next request waits for its answer.
    if (timer == SessionTimer::NextDevice && op_.phase == Phase::Sending && question_ == Question::None) sendNextGet();
    if (timer == SessionTimer::ReplyWait && op_.phase == Phase::Waiting) complete();
}

// The selected devices when they can take part in a request; otherwise the message is shown.
std::optional<std::vector<DeviceEntry>> ManagementSession::checkedSelection() {
    std::vector<DeviceEntry> devices = host_.selectedDevices();
    const SelectionCheck check = checkSelection(devices, true);
    if (!check.ok) {
        prompter_.showMessage(kErrorCaption, check.message, MessageIcon::Warning);
        return std::nullopt;
    }
    productNumber_ = productNumberFromId(check.identity.productId);
    return devices;
}

// A new operation over the devices; the previous one ends here, and its timers with it.
void ManagementSession::beginOperation(Kind kind, int group, std::vector<DeviceEntry> devices) {
    endOperation();
    op_ = Operation{};
    op_.kind = kind;
    op_.phase = Phase::Sending;
    op_.group = group;
    op_.devices = std::move(devices);
    for (int i = 0; i < static_cast<int>(op_.devices.size()); ++i) op_.targets.push_back(i);
    op_.order = byteOrderForProduct(productNumber_);
    op_.answered.assign(op_.devices.size(), 0);
    op_.faults.assign(op_.devices.size(), {});
    for (const DeviceEntry& device : op_.devices)
        op_.outcomes.push_back({device, operationName(kind), OutcomeStatus::Ok, {}, {}});
    if (const DefinitionSet* set = store_->current())
        op_.valueSeen.assign(static_cast<std::size_t>(set->recordCount()), 0);
    targets_.begin(static_cast<int>(op_.devices.size()));
    credentials_.newOperation();
}

// The operation ends: its timers stop, and a reply that comes now is late.
void ManagementSession::endOperation() {
    host_.stopTimer(SessionTimer::NextDevice);
    host_.stopTimer(SessionTimer::ReplyWait);
    credentials_.saveAccepted();
    ++generation_;
    op_.phase = Phase::Idle;
}

const DeviceEntry& ManagementSession::deviceOf(int target) const {
    return op_.devices[static_cast<std::size_t>(op_.targets[static_cast<std::size_t>(target)])];
}

bool ManagementSession::startGet(int group) {
    auto devices = checkedSelection();
    if (!devices) return false;
    listed_ = *devices;
    // However the read goes on, the host hears of it once the list has its new rows (or none).
    struct ShownChanged {
        ManagementHost& host;
        ~ShownChanged() { host.shownDevicesChanged(); }
    } shownChanged{host_};
    beginOperation(Kind::Get, group, std::move(*devices));
    const DeviceEntry& first = op_.devices.front();
    if (group == 0) {
        ProductTable products;
        prompter_.showReports(products.LoadProductTable(settings_.dataDir + kProductTableFileName));
        const int product = products.FindProductId(first.productId);
        if (product < 0) {
            prompter_.showMessage(kErrorCaption, kInvalidProductId, MessageIcon::Warning);
            reportOutcomes(OutcomeStatus::NoDefinitions, kInvalidProductId);
            endOperation();
            return false;
        }
        prompter_.showReports(products.SelectProduct(product));
        int major = 0, minor = 0;
        std::sscanf(first.version.c_str(), "%d.%d", &major, &minor);
        const std::string path = deviceConfigurationPath(settings_.dataDir, products.currentName(), first.version);
        const DcfLoadResult load = store_->LoadDeviceConfiguration(path, productNumber_, major, minor);
        prompter_.showReports(load.reports());
        // A file that is missing or refused leaves no set: no stale groups, rows or marks.
        table_.setDefinitions(store_->current());
        selectedGroup_ = 0;
        host_.definitionsChanged();
        if (!load.loaded) {
            reportOutcomes(OutcomeStatus::NoDefinitions, load.message);
            endOperation();
            return false;
        }
        table_.showGroup(0);
        op_.valueSeen.assign(static_cast<std::size_t>(store_->current()->recordCount()), 0);
    } else if (!store_->current()) {
        reportOutcomes(OutcomeStatus::NoDefinitions, "No parameter definitions loaded");
        endOperation();
        return false;
    }
    sendNextGet();
    return true;
}

// The credentials of a target of the operation (the log, or the password dialog); `then` runs
// with them unless the operator cancelled (the devices from there on get no request) or the
// operation ended meanwhile.
void ManagementSession::askCredentialsOf(int target, bool askEvenIfLogged,
                                         std::function<void(const Credentials&)> then) {
    std::vector<DeviceEntry> later;
    for (int i = target + 1; i < static_cast<int>(op_.targets.size()); ++i) later.push_back(deviceOf(i));
    question_ = Question::Credentials;
    credentials_.credentialsFor(
        deviceOf(target), askEvenIfLogged, later,
        liveness_.guard([this, then = std::move(then), generation = generation_](std::optional<Credentials> typed) {
            if (question_ != Question::Credentials || generation != generation_) return;
            question_ = Question::None;
            if (!typed) {
                // The operator's Cancel is their choice; a prompter without one had nothing to give.
                op_.notSent = prompter_.operatorAnswers() ? kCredentialsCancelled : kNoCredentials;
                op_.notSentStatus = prompter_.operatorAnswers() ? OutcomeStatus::Cancelled : OutcomeStatus::Failed;
                finishSending();
                return;
            }
            then(*typed);
        }));
}

void ManagementSession::sendNextGet() {
    const int t = op_.nextTarget;
    if (op_.firstPart) {
        askCredentialsOf(t, false, [this, t](const Credentials& credentials) {
            const DeviceEntry& device = deviceOf(t);
            const std::size_t head = requestHeadSize(device.addressingKind == 2, credentials.id, credentials.password);
            if (!requestHasRoom(head, largestGetEntry(store_->current(), op_.group))) {
                refuseCredentials(device);
                return;
            }
            sendGetTo(t, credentials);
        });
        return;
    }
    sendGetTo(t, Credentials{targets_[t].id, targets_[t].password});
}

void ManagementSession::sendGetTo(int t, const Credentials& credentials) {
    const int k = static_cast<int>(op_.targets.size());
    if (op_.firstPart)
        targets_[t] = TargetRecord{toUpperAscii(deviceOf(t).mac), credentials.id, credentials.password, {}};
    if (!op_.body) {
        const TargetRecord& r = targets_[t];
        const std::size_t head = requestHeadSize(deviceOf(t).addressingKind == 2, r.id, r.password);
        if (op_.group == 0) {
            op_.body = wholeDeviceGetBody();
            op_.continuation = 0;
        } else {
            GetPart part = groupGetBody(*store_->current(), op_.group, op_.partStart, head);
            op_.body = std::move(part.body);
            op_.continuation = part.continuation;
        }
    }
    sendRequest(t, CommandCode::GetValues, ManagementOperation::Get);
    op_.nextTarget = t + 1;
    if (k > 1) host_.showProgress("Reading parameters: " + std::to_string(t + 1) + " of " + std::to_string(k));
    if (op_.nextTarget < k)
        host_.startTimer(SessionTimer::NextDevice, settings_.deviceSpacingMs);
    else
        finishSending();
}

// Builds and sends the request of one target with the operation's body. False when the device
// cannot be reached ("Can't send to ", shown here).
bool ManagementSession::sendRequest(int target, CommandCode command, ManagementOperation use) {
    const DeviceEntry& device = deviceOf(target);
    const SendDecision decision =
        decideSend(device, use, [this](const std::string& ip) { return host_.onLocalSubnet(ip); });
    if (decision.kind == SendDecision::Kind::Refused) {
        prompter_.showMessage(kErrorCaption, decision.refusal, MessageIcon::Warning);
        op_.notSent = decision.refusal;
        return false;
    }
    TargetRecord& record = targets_[target];
    RequestAddress address;
    address.macForm = device.addressingKind == 2;
    address.mac = parseMacText(device.mac).value_or(MacAddress{});
    address.id = record.id;
    address.password = record.password;
    const std::uint16_t id = targets_.drawRequestId(target, settings_.requestIds, op_.order);
    const auto request = buildRequest(address, command, *op_.body, op_.order, id);
    if (!request) {  // credentials are bounded before they get here
        op_.notSent = "The request could not be built";
        return false;
    }
    host_.sendDatagram(request->bytes, decision.address);
    ++op_.sent;
    return true;
}

void ManagementSession::finishSending() {
    host_.stopTimer(SessionTimer::NextDevice);
    if (op_.sent == 0) {
        noteOutcomes();
        reportOutcomes();
        endOperation();
        host_.showProgress({});
        host_.sessionEvent({SessionEvent::Kind::OperationFinished, -1, {}});
        return;
    }
    op_.phase = Phase::Waiting;
    host_.startTimer(SessionTimer::ReplyWait, settings_.replyWaitMs);
    checkComplete();
}

// A set or reboot to every target of the operation: credentials from the log (or the dialog, named
// after the device), one request each; a Cancel or an unreachable device ends the sending there.
// Answers given inside the call keep this loop going; an answer that comes later restarts it.
void ManagementSession::sendToTargets() {
    sendingTargets_ = true;
    while (op_.phase == Phase::Sending && question_ == Question::None) {
        const int i = op_.nextTarget;
        if (i >= static_cast<int>(op_.targets.size())) {
            finishSending();
            break;
        }
        askCredentialsOf(i, op_.askEvenIfLogged, [this, i](const Credentials& credentials) {
            const DeviceEntry& device = deviceOf(i);
            const bool kindIsSet = op_.kind == Kind::Set;
            const std::size_t head = requestHeadSize(device.addressingKind == 2, credentials.id, credentials.password);
            if (!requestHasRoom(head, kindIsSet ? largestSetEntry(table_, op_.order) : rebootEntrySize())) {
                refuseCredentials(device);
                return;
            }
            targets_[i] = TargetRecord{toUpperAscii(device.mac), credentials.id, credentials.password, {}};
            if (!op_.body) {
                SetPart part = setBody(table_, op_.order, head);
                op_.body = std::move(part.body);
                op_.continuation = part.continuation;
                op_.values = std::move(part.values);
                if (part.newId || part.newPassword)
                    op_.ownChange = Credentials{part.newId.value_or(""), part.newPassword.value_or("")};
            }
            if (!sendRequest(i, kindIsSet ? CommandCode::SetValues : CommandCode::Reboot,
                             kindIsSet ? ManagementOperation::Set : ManagementOperation::Reboot)) {
                finishSending();
                return;
            }
            op_.nextTarget = i + 1;
            if (!sendingTargets_) sendToTargets();
        });
    }
    sendingTargets_ = false;
}

// Credentials whose request would have no room for a value: the device gets nothing, and neither do
// the devices after it.
void ManagementSession::refuseCredentials(const DeviceEntry& device) {
    op_.notSent = credentialsLeaveNoRoomText(device.name);
    prompter_.showMessage(kErrorCaption, op_.notSent, MessageIcon::Warning);
    finishSending();
}

void ManagementSession::doSet() {
    host_.focusList();
    auto devices = checkedSelection();
    if (!devices) return;
    // Every value is checked before anything is asked or sent: a device never gets half a change.
    const std::vector<RefusedValue> refused = checkMarkedRows(table_, byteOrderForProduct(productNumber_));
    if (!refused.empty()) {
        prompter_.showMessage(kErrorCaption, refusedValuesText(refused), MessageIcon::Warning);
        return;
    }
    question_ = Question::SetConfirm;
    prompter_.confirm(kSetConfirm, liveness_.guard([this, devices = std::move(*devices)](bool yes) mutable {
        if (question_ != Question::SetConfirm) return;
        question_ = Question::None;
        if (yes) sendSetPart(std::move(devices));
    }));
}

// One part of a set: the marked rows from the top of the list, as many as one datagram takes.
void ManagementSession::sendSetPart(std::vector<DeviceEntry> devices) {
    beginOperation(Kind::Set, selectedGroup_, std::move(devices));
    sendToTargets();
}

void ManagementSession::doReboot() {
    auto devices = checkedSelection();
    if (!devices) return;
    question_ = Question::RebootConfirm;
    prompter_.confirm(kRebootConfirm, liveness_.guard([this, devices = std::move(*devices)](bool yes) mutable {
        if (question_ != Question::RebootConfirm) return;
        question_ = Question::None;
        if (!yes) return;
        beginOperation(Kind::Reboot, selectedGroup_, std::move(devices));
        op_.body = rebootBody();
        sendToTargets();
    }));
}

std::vector<std::string> ManagementSession::silentDevices() const {
    std::vector<std::string> names;
    for (int i = 0; i < op_.sent && i < static_cast<int>(op_.targets.size()); ++i) {
        if (!op_.answered[static_cast<std::size_t>(i)]) names.push_back(deviceOf(i).name);
    }
    return names;
}

// What this part of the operation did to each of its targets. A device keeps the first fault it
// met: a device that answered the first part of a get but not the second did not give its values.
void ManagementSession::noteOutcomes() {
    for (int i = 0; i < static_cast<int>(op_.targets.size()); ++i) {
        DeviceOutcome& outcome = op_.outcomes[static_cast<std::size_t>(op_.targets[static_cast<std::size_t>(i)])];
        if (outcome.status != OutcomeStatus::Ok) continue;
        const auto at = static_cast<std::size_t>(i);
        if (i >= op_.sent) {
            outcome.status = op_.notSentStatus;
            outcome.message = op_.notSent.empty() ? "Not sent" : op_.notSent;
        } else if (std::find(op_.refusedTargets.begin(), op_.refusedTargets.end(), i) != op_.refusedTargets.end()) {
            outcome.status = OutcomeStatus::Refused;
            outcome.message = kAuthFailedText;
        } else if (!op_.answered[at]) {
            outcome.status = op_.stopped ? OutcomeStatus::Cancelled : OutcomeStatus::NoReply;
            outcome.message = op_.stopped ? kReadStopped : kNoReply;
        } else if (!op_.faults[at].empty()) {
            outcome.status = OutcomeStatus::Failed;
            outcome.message = op_.faults[at];
        }
    }
}

// Hands the outcomes to the host; a status other than Ok stands for every device of the operation.
void ManagementSession::reportOutcomes(OutcomeStatus allStatus, const std::string& message) {
    if (allStatus != OutcomeStatus::Ok) {
        for (DeviceOutcome& outcome : op_.outcomes) {
            outcome.status = allStatus;
            outcome.message = message;
        }
    }
    host_.operationFinished(op_.outcomes);
}

void ManagementSession::checkComplete() {
    if (op_.phase == Phase::Waiting && op_.answeredCount >= op_.sent) complete();
}

void ManagementSession::complete() {
    const std::vector<std::string> missing = silentDevices();
    endOperation();
    host_.sessionEvent({SessionEvent::Kind::OperationFinished, -1, missing});
    noteOutcomes();
    const bool nextPart = op_.kind == Kind::Get && op_.refusedTargets.empty() && !op_.credentialsChanged &&
                          op_.continuation != 0 && op_.answeredCount > 0 && !op_.stopped;
    if (!nextPart) reportOutcomes();
    if (op_.stopped) {
        host_.showProgress({});
        return;
    }
    if (!op_.refusedTargets.empty()) {
        prompter_.showMessage(kErrorCaption, kAuthFailedText, MessageIcon::Warning);
        if (op_.kind == Kind::Get)
            startGet(0);
        else
            retryRefused();
        return;
    }
    if (op_.credentialsChanged) {
        startGet(selectedGroup_);
        return;
    }
    switch (op_.kind) {
        case Kind::Get:
            if (nextPart) {
                // The next part of the group, to every device, with the credentials they took.
                op_.phase = Phase::Sending;
                op_.partStart = op_.continuation;
                op_.body.reset();
                op_.firstPart = false;
                op_.nextTarget = 0;
                op_.sent = 0;
                op_.answered.assign(op_.targets.size(), 0);
                op_.answeredCount = 0;
                sendNextGet();
                return;
            }
            host_.showProgress(missing.empty() ? std::string() : "No reply from " + joined(missing));
            return;
        case Kind::Set:
            finishSet(missing);
            return;
        case Kind::Reboot:
            host_.showProgress(missing.empty() ? std::string() : "No reply from " + joined(missing));
            return;
    }
}

// A set or reboot that a device refused goes to that device again, with the credentials typed now
// (the dialog comes even when pwd.ini knows the device) and, for a set, the same marked values.
void ManagementSession::retryRefused() {
    const Operation refused = op_;
    if (refused.kind == Kind::Set) {
        const std::vector<RefusedValue> values = checkMarkedRows(table_, refused.order);
        if (!values.empty()) {
            prompter_.showMessage(kErrorCaption, refusedValuesText(values), MessageIcon::Warning);
            return;
        }
    }
    std::vector<DeviceEntry> devices;
    for (int t : refused.refusedTargets) devices.push_back(deviceOf(t));
    op_ = Operation{};
    op_.kind = refused.kind;
    op_.phase = Phase::Sending;
    op_.group = refused.group;
    op_.devices = std::move(devices);
    for (int i = 0; i < static_cast<int>(op_.devices.size()); ++i) op_.targets.push_back(i);
    op_.order = refused.order;
    op_.answered.assign(op_.devices.size(), 0);
    op_.faults.assign(op_.devices.size(), {});
    for (const DeviceEntry& device : op_.devices)
        op_.outcomes.push_back({device, operationName(op_.kind), OutcomeStatus::Ok, {}, {}});
    op_.askEvenIfLogged = true;
    ++generation_;
    targets_.begin(static_cast<int>(op_.devices.size()));
    credentials_.newOperation();
    if (op_.kind == Kind::Reboot) op_.body = rebootBody();
    sendToTargets();
}

void ManagementSession::finishSet(const std::vector<std::string>& missing) {
    if (op_.answeredCount == 0) {
        prompter_.showMessage(kErrorCaption, "No reply from " + joined(missing), MessageIcon::Warning);
        return;
    }
    // The rows sent show the value as the devices now hold it, and are no longer marked.
    for (const SentValue& v : op_.values) {
        table_.setValue(v.row, v.shown);
        table_.setModified(table_.row(v.row).record, false);
    }
    if (op_.continuation != 0) {
        // The next part, to the same devices; the operator confirmed the whole set once.
        sendSetPart(std::vector<DeviceEntry>(op_.devices));
        return;
    }
    for (int r = 0; r < table_.recordRowCount(); ++r)
        captureMonitorTarget(setScanDhcp_, table_.row(r).name, table_.row(r).value);
    ConfirmText question = kRebootAfterSet;
    if (!missing.empty()) question.detail = "No reply from " + joined(missing);
    question_ = Question::RebootAfterSet;
    prompter_.confirm(question, liveness_.guard([this](bool yes) {
        if (question_ != Question::RebootAfterSet) return;
        question_ = Question::None;
        if (yes) doReboot();
    }));
}

}  // namespace tarn
