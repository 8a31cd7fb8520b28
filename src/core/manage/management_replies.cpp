// The reply half of ManagementSession: every datagram that arrives at the view's socket.
//
//   A2 values   the values of the rows (class blocks: every record of the class, in order)
//   B2 set      the set was written; the marks clear once every device answered
//   C0 refused  wrong ID or password, or the device's own credentials were just changed
//
// A reply counts only for the operation that sent its request id; one that comes after the
// operation ended is late and changes nothing.
//   FF reboot   the device restarts
//
// Bodies are read strictly inside the received datagram: a length that points past its end, or a
// record that runs past the length, is a "Message length error".
#include <cstdio>

#include "core/common/text.h"
#include "core/manage/management_session.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"

namespace tarn {

namespace {}  // namespace

void ManagementSession::handleDatagram(ByteView bytes) {
    const auto reply = parseReplyHeader(bytes, byteOrderForProduct(productNumber_));
    if (!reply) return;
    const int i = targets_.match(reply->requestId);
    // Only the live operation takes a reply, and only for a request it has sent.
    if (i < 0 || i >= op_.sent) return;
    if (op_.phase == Phase::Idle) {
        host_.lateReply(bytes);
        return;
    }
    const TargetRecord& target = targets_[i];
    const auto code = static_cast<CommandCode>(reply->code);
    // A device that answers with the credentials it was sent has accepted them.
    if (code != CommandCode::AuthFailed && !reply->id.empty() && reply->id == target.id && !reply->password.empty() &&
        reply->password == target.password && !target.mac.empty()) {
        credentials_.accepted(target.mac, target.id, target.password);
    }
    switch (code) {
        case CommandCode::GetValuesReply:
            if (op_.kind == Kind::Get) valuesReply(i, *reply);
            break;
        case CommandCode::SetValuesReply:
            if (op_.kind == Kind::Set) setReply(i, *reply);
            break;
        case CommandCode::AuthFailed:
            authFailed(i);
            break;
        case CommandCode::RebootDone:
            if (op_.kind == Kind::Reboot) rebootDone(i);
            break;
        default:
            break;
    }
}

// Counts a device's first answer to the operation; a repeated answer counts nothing.
bool ManagementSession::firstAnswer(int target) {
    if (target >= static_cast<int>(op_.answered.size()) || op_.answered[static_cast<std::size_t>(target)]) return false;
    op_.answered[static_cast<std::size_t>(target)] = 1;
    ++op_.answeredCount;
    return true;
}

// The first fault of a target's reply in this operation; a repeated reply does not add one.
void ManagementSession::noteFault(int target, const std::string& text) {
    if (target < 0 || target >= static_cast<int>(op_.faults.size())) return;
    if (op_.answered[static_cast<std::size_t>(target)]) return;
    std::string& fault = op_.faults[static_cast<std::size_t>(target)];
    if (fault.empty()) fault = text;
}

// False (after the message) when the checksum does not add up; the reply is handled all the same.
bool ManagementSession::verifyChecksum(int target, const ReplyHeader& reply) {
    if (!reply.complete || reply.computedChecksum == reply.receivedChecksum) return true;
    char text[64];
    std::snprintf(text, sizeof text, "cal : %d recv : %d ", reply.computedChecksum, reply.receivedChecksum);
    prompter_.showMessage(kErrorCaption, text, MessageIcon::Warning);
    noteFault(target, text);
    return false;
}

void ManagementSession::valuesReply(int target, const ReplyHeader& reply) {
    bool broken = !verifyChecksum(target, reply);
    const DefinitionSet* set = store_->current();
    const ByteOrder order = byteOrderForProduct(productNumber_);
    if (!reply.complete) {
        prompter_.showMessage(kErrorCaption, kMessageLengthError, MessageIcon::Warning);
        noteFault(target, kMessageLengthError);
        broken = true;
    } else if (set) {
        const ValueEntries entries = readValueEntries(reply.body, order);
        for (const ValueEntry& entry : entries.entries) {
            if (isClassBlock(entry.id)) {
                const auto [first, last] = FindClassRange(*set, entry.id);
                std::size_t offset = 0;
                for (int j = first; j >= 0 && j <= last; ++j) {
                    const auto value = blockValue(*set, j, entry.value, offset);
                    applyValue(j, value ? FormatValue(set->records[static_cast<std::size_t>(j)], *value, order)
                                        : std::string());
                    offset += static_cast<std::size_t>(set->records[static_cast<std::size_t>(j)].size);
                }
            } else if (const int j = FindRecordById(*set, entry.id); j >= 0) {
                applyValue(j, FormatValue(set->records[static_cast<std::size_t>(j)], entry.value, order));
            }  // an entry that matches no definition is skipped
        }
        if (entries.overrun) {
            prompter_.showMessage(kErrorCaption, kMessageLengthError, MessageIcon::Warning);
            noteFault(target, kMessageLengthError);
            broken = true;
        }
    }
    if (table_.recordRowCount() > 0) table_.showSetupRow();
    if (broken) host_.sessionEvent({SessionEvent::Kind::BrokenReply, target, {}});
    firstAnswer(target);
    host_.sessionEvent({SessionEvent::Kind::ValuesReceived, target, {}});
    checkComplete();
}

// One received value: the record counts as read, and its row (when the current group shows it)
// takes the text by the value rule. With one device the text is shown; with several, the first
// answer of the operation fills the cell, a later one keeps it when equal and empties it when not.
void ManagementSession::applyValue(int record, const std::string& text) {
    table_.setModified(record, false);
    const DefinitionSet* set = store_->current();
    if (set->records[static_cast<std::size_t>(record)].accessMode == AccessMode::Hidden) return;
    const int r = table_.rowOfRecord(record);
    if (r < 0) return;
    auto& seen = op_.valueSeen;
    const bool first = record >= static_cast<int>(seen.size()) || !seen[static_cast<std::size_t>(record)];
    if (targets_.count() <= 1 || first) {
        table_.setValue(r, text);
        if (record < static_cast<int>(seen.size())) seen[static_cast<std::size_t>(record)] = 1;
    } else if (table_.row(r).value != text || !table_.row(r).known) {
        table_.forgetValue(r);
    }
    captureMonitorTarget(getScanDhcp_, table_.row(r).name, text);
}

// The I/O monitor connects to the device's "IP address" (or, with "IP mode" DHCP, to the address it
// was found at) and "Local port".
void ManagementSession::captureMonitorTarget(bool& dhcpSeen, const std::string& name, const std::string& value) {
    if (name == "IP mode") {
        dhcpSeen = value == "DHCP";
    } else if (name == "IP address") {
        if (!dhcpSeen) {
            host_.setMonitorAddress(value);
            return;
        }
        const std::vector<DeviceEntry> selected = host_.selectedDevices();
        if (selected.empty())
            prompter_.showMessage(kErrorCaption, kNoSelectedDevice, MessageIcon::Warning);
        else
            host_.setMonitorAddress(selected.front().ip);
    } else if (name == "Local port") {
        host_.setMonitorPort(static_cast<int>(parseLeadingInteger(value)));
    }
}

void ManagementSession::setReply(int target, const ReplyHeader& reply) {
    verifyChecksum(target, reply);
    if (!firstAnswer(target)) return;
    // The device has taken its own new ID or password: its next refusal of the old ones moves the log.
    if (op_.ownChange) credentials_.setChangePending(targets_[target].mac, *op_.ownChange);
    host_.sessionEvent({SessionEvent::Kind::SetAnswered, target, {}});
    checkComplete();
}

void ManagementSession::authFailed(int target) {
    if (!firstAnswer(target)) return;
    const TargetRecord& t = targets_[target];
    if (credentials_.refused(t.mac, Credentials{t.id, t.password}))
        op_.credentialsChanged = true;
    else
        op_.refusedTargets.push_back(target);
    host_.sessionEvent({SessionEvent::Kind::AuthFailed, target, {}});
    checkComplete();
}

void ManagementSession::rebootDone(int target) {
    if (!firstAnswer(target)) return;
    prompter_.showMessage("Done", kRebootDoneText, MessageIcon::Information);
    host_.sessionEvent({SessionEvent::Kind::RebootDone, target, {}});
    checkComplete();
}

}  // namespace tarn
