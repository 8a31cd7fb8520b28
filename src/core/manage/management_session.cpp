#include "core/manage/management_session.h"

#include <cstdio>

#include "core/common/text.h"
#include "core/discovery/addressing.h"
#include "core/manage/credential_log.h"
#include "core/manage/management_requests.h"
#include "core/params/product_table.h"
#include "core/params/value_codec.h"

namespace tarn {

namespace {

constexpr const char* kError = "Error";
constexpr const char* kCredentialsTooLong = "The ID and the password can each be at most 255 characters long.";

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

}  // namespace

ManagementSession::ManagementSession(ManagementHost& host, Prompter& prompter, SessionSettings settings)
    : host_(host), prompter_(prompter), logPrompter_(prompter), settings_(std::move(settings)) {}

void ManagementSession::run(std::function<void()> work) {
    if (busy_) {
        waiting_.push_back(std::move(work));
        return;
    }
    busy_ = true;
    work();
    while (!waiting_.empty()) {
        auto next = std::move(waiting_.front());
        waiting_.pop_front();
        next();
    }
    busy_ = false;
}

void ManagementSession::RequestParameterValues(int group) {
    run([this, group] { startGet(group); });
}

void ManagementSession::SelectGroup(int group) {
    run([this, group] {
        const DefinitionSet* set = store_.current();
        if (!set || group < 0 || group >= set->groupCount()) return;
        selectedGroup_ = group;
        table_.showGroup(group);
        startGet(group);
    });
}

void ManagementSession::set() {
    run([this] { doSet(); });
}

void ManagementSession::reboot() {
    run([this] { doReboot(); });
}

void ManagementSession::timerExpired(SessionTimer timer) {
    // A timer of an operation that has ended while this expiry waited its turn is not this one's.
    run([this, timer, generation = generation_] {
        if (!op_.active || generation != generation_) return;
        if (timer == SessionTimer::NextDevice && !op_.allSent) sendNextGet();
        if (timer == SessionTimer::ReplyWait && op_.allSent) complete(true);
    });
}

// The selected devices when they can take part in a request; otherwise the message is shown.
std::optional<std::vector<DeviceEntry>> ManagementSession::checkedSelection() {
    std::vector<DeviceEntry> devices = host_.selectedDevices();
    const SelectionCheck check = checkSelection(devices, true);
    if (!check.ok) {
        prompter_.showMessage(kError, check.message, MessageIcon::Warning);
        return std::nullopt;
    }
    productNumber_ = productNumberFromId(check.identity.productId);
    return devices;
}

// A new operation over the devices; the previous one ends here, and its timers with it.
void ManagementSession::beginOperation(Kind kind, int group, std::vector<DeviceEntry> devices) {
    host_.stopTimer(SessionTimer::NextDevice);
    host_.stopTimer(SessionTimer::ReplyWait);
    ++generation_;
    op_ = Operation{};
    op_.kind = kind;
    op_.active = true;
    op_.group = group;
    op_.devices = std::move(devices);
    op_.order = byteOrderForProduct(productNumber_);
    op_.answered.assign(op_.devices.size(), 0);
    if (const DefinitionSet* set = store_.current())
        op_.valueSeen.assign(static_cast<std::size_t>(set->recordCount()), 0);
    targets_.begin(static_cast<int>(op_.devices.size()));
    for (int i = 0; i < targets_.count(); ++i) targets_[i] = TargetRecord{};
    logPrompter_.newOperation();
}

bool ManagementSession::startGet(int group) {
    auto devices = checkedSelection();
    if (!devices) return false;
    beginOperation(Kind::Get, group, std::move(*devices));
    const DeviceEntry& first = op_.devices.front();
    if (group == 0) {
        ProductTable products;
        products.LoadProductTable(settings_.dataDir + kProductTableFileName, prompter_);
        const int product = products.FindProductId(first.productId);
        if (product < 0) {
            prompter_.showMessage(kError, kInvalidProductId, MessageIcon::Warning);
            op_.active = false;
            return false;
        }
        products.SelectProduct(product, prompter_);
        int major = 0, minor = 0;
        std::sscanf(first.version.c_str(), "%d.%d", &major, &minor);
        const std::string path = deviceConfigurationPath(settings_.dataDir, products.currentName(), first.version);
        const bool loaded = store_.LoadDeviceConfiguration(path, productNumber_, major, minor, prompter_).loaded;
        // A file that is missing or refused leaves no set: no stale groups, rows or marks.
        table_.setDefinitions(store_.current());
        selectedGroup_ = 0;
        host_.definitionsChanged();
        if (!loaded) {
            op_.active = false;
            return false;
        }
        table_.showGroup(0);
        op_.valueSeen.assign(static_cast<std::size_t>(store_.current()->recordCount()), 0);
    } else if (!store_.current()) {
        op_.active = false;
        return false;
    }
    sendNextGet();
    return true;
}

void ManagementSession::sendNextGet() {
    const int t = op_.nextDevice;
    const int k = static_cast<int>(op_.devices.size());
    if (op_.firstPart) {
        const DeviceEntry& device = op_.devices[static_cast<std::size_t>(t)];
        const auto credentials = credentialsFor(device, true, true);
        if (!credentials) {  // Cancel: the devices from here on get no request
            finishSending();
            return;
        }
        targets_[t] = TargetRecord{toUpperAscii(device.mac), credentials->id, credentials->password, {}};
    }
    if (!op_.bodyReady) {
        const TargetRecord& r = targets_[t];
        const std::size_t head =
            requestHeadSize(op_.devices[static_cast<std::size_t>(t)].addressingKind == 2, r.id, r.password);
        if (op_.group == 0) {
            op_.body = wholeDeviceGetBody();
            op_.continuation = 0;
        } else {
            GetPart part = groupGetBody(*store_.current(), op_.group, op_.partStart, head);
            op_.body = std::move(part.body);
            op_.continuation = part.continuation;
        }
        op_.bodyReady = true;
    }
    sendRequest(t, CommandCode::GetValues, ManagementOperation::Get);
    op_.nextDevice = t + 1;
    if (k > 1) host_.showProgress("Reading parameters: " + std::to_string(t + 1) + " of " + std::to_string(k));
    if (op_.nextDevice < k)
        host_.startTimer(SessionTimer::NextDevice, settings_.deviceSpacingMs);
    else
        finishSending();
}

// Builds and sends the request of one target with the operation's body. False when the device
// cannot be reached ("Can't send to ", shown here).
bool ManagementSession::sendRequest(int target, CommandCode command, ManagementOperation use) {
    const DeviceEntry& device = op_.devices[static_cast<std::size_t>(target)];
    const SendDecision decision =
        decideSend(device, use, [this](const std::string& ip) { return host_.isOnLocalSubnet(ip); });
    if (decision.kind == SendDecision::Kind::Refused) {
        prompter_.showMessage(kError, decision.refusal, MessageIcon::Warning);
        return false;
    }
    TargetRecord& record = targets_[target];
    RequestAddress address;
    address.macForm = device.addressingKind == 2;
    address.mac = parseMacText(device.mac).value_or(MacAddress{});
    address.id = record.id;
    address.password = record.password;
    const std::uint16_t id = targets_.drawRequestId(target, requestIds_, op_.order);
    const auto request = buildRequest(address, command, op_.body, op_.order, id);
    if (!request) return false;  // credentials are bounded before they get here
    host_.sendDatagram(request->bytes, decision.address);
    ++op_.sent;
    return true;
}

// The ID and password of a device: from the log, or typed in the password dialog (titled with the
// device name for a get). A refused device is asked again even when the log knows it.
std::optional<Credentials> ManagementSession::credentialsFor(const DeviceEntry& device, bool consultAskFlag,
                                                             bool titled) {
    const std::string mac = toUpperAscii(device.mac);
    CredentialLog log(logPath(), logPrompter_);
    log.LoadLog();
    const int index = log.FindMac(mac);
    const bool ask = consultAskFlag && askCredentialsFor_.count(mac) > 0;
    if (index >= 0 && !ask) return Credentials{log.entry(index).id, log.entry(index).password};
    for (;;) {
        auto typed = prompter_.askCredentials(titled ? "[ " + device.name + " ]" : std::string());
        if (!typed) return std::nullopt;
        if (typed->id.size() > static_cast<std::size_t>(kMaxCredentialLength) ||
            typed->password.size() > static_cast<std::size_t>(kMaxCredentialLength)) {
            prompter_.showMessage(kError, kCredentialsTooLong, MessageIcon::Warning);
            continue;
        }
        if (titled) {
            // A device already in the log gets its entry replaced now; a new one once it answers.
            CredentialLog(logPath(), logPrompter_).rememberTypedCredentials(mac, typed->id, typed->password);
            askCredentialsFor_.erase(mac);
        }
        return typed;
    }
}

void ManagementSession::finishSending() {
    op_.allSent = true;
    host_.stopTimer(SessionTimer::NextDevice);
    if (op_.sent == 0) {
        op_.active = false;
        host_.showProgress({});
        return;
    }
    host_.startTimer(SessionTimer::ReplyWait, settings_.replyWaitMs);
    checkComplete();
}

void ManagementSession::doSet() {
    host_.focusList();
    auto devices = checkedSelection();
    if (!devices || !prompter_.confirm(kSetConfirm)) return;
    beginOperation(Kind::Set, selectedGroup_, std::move(*devices));
    const int k = static_cast<int>(op_.devices.size());
    for (int i = 0; i < k; ++i) {
        const DeviceEntry& device = op_.devices[static_cast<std::size_t>(i)];
        const auto credentials = credentialsFor(device, false, false);
        if (!credentials) break;
        const std::string mac = toUpperAscii(device.mac);
        targets_[i] = TargetRecord{mac, credentials->id, credentials->password, {}};
        if (!op_.bodyReady) {
            SetPart part = setBody(table_, op_.order,
                                   requestHeadSize(device.addressingKind == 2, credentials->id, credentials->password));
            op_.body = std::move(part.body);
            op_.continuation = part.continuation;
            op_.refusedRows = std::move(part.refusedRows);
            op_.bodyReady = true;
            if (!op_.refusedRows.empty()) {
                std::string text = "These values were not sent; they do not fit their parameter's type:";
                for (int r : op_.refusedRows) text += "\n" + table_.row(r).name + " = \"" + table_.row(r).value + "\"";
                prompter_.showMessage(kError, text, MessageIcon::Warning);
            }
            if (part.newId || part.newPassword) {
                for (const DeviceEntry& d : op_.devices)
                    pendingChanges_[toUpperAscii(d.mac)] = {part.newId.value_or(""), part.newPassword.value_or("")};
            }
        }
        if (!sendRequest(i, CommandCode::SetValues, ManagementOperation::Set)) break;
    }
    finishSending();
}

void ManagementSession::doReboot() {
    auto devices = checkedSelection();
    if (!devices || !prompter_.confirm(kRebootConfirm)) return;
    beginOperation(Kind::Reboot, selectedGroup_, std::move(*devices));
    op_.body = rebootBody();
    op_.bodyReady = true;
    const int k = static_cast<int>(op_.devices.size());
    for (int i = 0; i < k; ++i) {
        const DeviceEntry& device = op_.devices[static_cast<std::size_t>(i)];
        const auto credentials = credentialsFor(device, false, false);
        if (!credentials) break;
        targets_[i] = TargetRecord{toUpperAscii(device.mac), credentials->id, credentials->password, {}};
        if (!sendRequest(i, CommandCode::Reboot, ManagementOperation::Reboot)) break;
    }
    finishSending();
}

std::vector<std::string> ManagementSession::silentDevices() const {
    std::vector<std::string> names;
    for (int i = 0; i < op_.sent && i < static_cast<int>(op_.devices.size()); ++i) {
        if (!op_.answered[static_cast<std::size_t>(i)]) names.push_back(op_.devices[static_cast<std::size_t>(i)].name);
    }
    return names;
}

void ManagementSession::checkComplete() {
    if (op_.active && op_.allSent && op_.answeredCount >= op_.sent) complete(false);
}

void ManagementSession::complete(bool /*timedOut*/) {
    host_.stopTimer(SessionTimer::ReplyWait);
    const std::vector<std::string> missing = silentDevices();
    op_.active = false;
    host_.sessionEvent({SessionEvent::Kind::OperationFinished, -1, missing});
    if (op_.authRefused) {
        prompter_.showMessage(kError, kAuthFailedText, MessageIcon::Warning);
        startGet(0);
        return;
    }
    if (op_.credentialsChanged) {
        startGet(selectedGroup_);
        return;
    }
    switch (op_.kind) {
        case Kind::Get:
            if (op_.continuation != 0 && op_.answeredCount > 0) {
                // The next part of the group, to every device, with the credentials they took.
                op_.active = true;
                op_.partStart = op_.continuation;
                op_.bodyReady = false;
                op_.firstPart = false;
                op_.nextDevice = 0;
                op_.sent = 0;
                op_.allSent = false;
                op_.answered.assign(op_.devices.size(), 0);
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
        case Kind::None:
            return;
    }
}

void ManagementSession::finishSet(const std::vector<std::string>& missing) {
    if (op_.answeredCount == 0) {
        prompter_.showMessage(kError, "No reply from " + joined(missing), MessageIcon::Warning);
        return;
    }
    auto refused = [this](int r) {
        for (int x : op_.refusedRows)
            if (x == r) return true;
        return false;
    };
    if (op_.continuation != 0) {
        // The rows of the answered part are written; the next run sends the marked rows after them.
        for (int r = 0; r < op_.continuation; ++r)
            if (!refused(r)) table_.setModified(table_.row(r).record, false);
        doSet();
        return;
    }
    for (int r = 0; r < table_.recordRowCount(); ++r) {
        if (!refused(r)) table_.setModified(table_.row(r).record, false);
        captureMonitorTarget(setScanDhcp_, table_.row(r).name, table_.row(r).value);
    }
    ConfirmText question = kRebootAfterSet;
    if (!missing.empty()) question.detail = "No reply from " + joined(missing);
    if (prompter_.confirm(question)) doReboot();
}

ConfigurationHeader ManagementSession::selectionHeader(const std::vector<DeviceEntry>& devices) const {
    const SelectionIdentity id = commonIdentity(devices);
    return {static_cast<int>(devices.size()), id.productId, id.version};
}

// The files touch only the rows, never an operation, so they need not wait their turn.
bool ManagementSession::saveConfiguration(const std::string& path) {
    return SaveConfiguration(path, selectionHeader(host_.selectedDevices()), table_.configurationRows(), prompter_);
}

bool ManagementSession::loadConfiguration(const std::string& path) {
    std::vector<ConfigurationRow> rows = table_.configurationRows();
    if (!LoadConfiguration(path, selectionHeader(host_.selectedDevices()), rows, prompter_)) return false;
    table_.applyConfigurationRows(rows);
    return true;
}

}  // namespace tarn
