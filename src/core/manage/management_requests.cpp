#include "core/manage/management_requests.h"

#include <algorithm>

#include "core/manage/credential_log.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"

namespace tarn {

namespace {

constexpr std::size_t kIpFormSignature = 4;
constexpr std::size_t kMacFormSignature = 11;
constexpr std::size_t kLengthIdCommand = 5;

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The device's own credentials are what it stores: the bytes up to the first zero of a text record.
std::string storedText(const ParameterRecord& record, const Bytes& value, const std::string& text) {
    if (valueTypeOf(record.type) != ValueType::Text) return text;
    return std::string(value.begin(), std::find(value.begin(), value.end(), 0));
}

// The first row from r on that a set sends (marked, and its value encodes), or 0 when there is none
// before the end of the list or a row that stands for no record.
int nextSentRow(const ParameterTable& table, int r, ByteOrder order) {
    for (; r < table.recordRowCount(); ++r) {
        const ParameterRecord& record = *table.recordOfRow(r);
        if (record.id.empty()) return 0;
        if (table.rowModified(r) && EncodeValue(record, table.row(r).value, order)) return r;
    }
    return 0;
}

}  // namespace

std::size_t requestHeadSize(bool macForm, const std::string& id, const std::string& password) {
    return (macForm ? kMacFormSignature : kIpFormSignature) + 1 + id.size() + 1 + password.size() + kLengthIdCommand;
}

Bytes wholeDeviceGetBody() { return {0x01, 0x00, 0x00, 0x00}; }

Bytes rebootBody() { return {0x00, 0x00, 0x00}; }

GetPart groupGetBody(const DefinitionSet& set, int group, int continuation, std::size_t headSize) {
    GetPart part;
    const auto [first, end] = set.groupRange(group);
    for (int i = first + std::max(continuation, 0); i < end; ++i) {
        appendParameterId(part.body, set.records[static_cast<std::size_t>(i)].id);
        part.body.push_back(0x00);
        part.body.push_back(0x00);
        if (i + 1 < end && headSize + part.body.size() > kSplitThreshold) {
            part.continuation = i + 1 - first;
            break;
        }
    }
    return part;
}

std::size_t largestGetEntry(const DefinitionSet* set, int group) {
    std::size_t largest = wholeDeviceGetBody().size();
    if (!set || group == 0) return largest;
    const auto [first, end] = set->groupRange(group);
    for (int i = first; i < end; ++i) {
        Bytes entry;
        appendParameterId(entry, set->records[static_cast<std::size_t>(i)].id);
        largest = std::max(largest, entry.size() + 2);
    }
    return largest;
}

std::size_t largestSetEntry(const ParameterTable& table, ByteOrder order) {
    std::size_t largest = 0;
    for (int r = 0; r < table.recordRowCount(); ++r) {
        const ParameterRecord& record = *table.recordOfRow(r);
        if (record.id.empty()) break;
        if (!table.rowModified(r)) continue;
        Bytes entry;
        appendParameterId(entry, record.id);
        const auto value = EncodeValue(record, table.row(r).value, order);
        largest = std::max(largest, entry.size() + 2 + (value ? value->size() : 0));
    }
    return largest;
}

std::size_t rebootEntrySize() { return rebootBody().size(); }

std::string credentialsLeaveNoRoomText(const std::string& deviceName) {
    return "The ID and the password for [ " + deviceName + " ] are too long: a request with them has no room for " +
           "its values within the " + std::to_string(kRequestBufferSize) +
           " bytes a device takes. Nothing was sent to the device.";
}

std::vector<RefusedValue> checkMarkedRows(const ParameterTable& table, ByteOrder order) {
    std::vector<RefusedValue> refused;
    for (int r = 0; r < table.recordRowCount(); ++r) {
        const ParameterRecord& record = *table.recordOfRow(r);
        if (record.id.empty()) break;
        if (!table.rowModified(r)) continue;
        std::string limit;
        if (record.accessMode == AccessMode::ReadOnly)
            limit = "read-only";
        else if (record.accessMode != AccessMode::ReadWrite)
            limit = "cannot be changed";
        else if (const auto value = EncodeValue(record, table.row(r).value, order, &limit)) {
            // The device's own ID and password go into pwd.ini once it has them: only what the log
            // gives back exactly may be sent.
            const auto problem = isOwnUserIdRecord(record.id) || isOwnPasswordRecord(record.id)
                                     ? credentialTextProblem(storedText(record, *value, table.row(r).value))
                                     : std::nullopt;
            if (!problem) continue;
            limit = "pwd.ini could not keep it: " + *problem;
        }
        refused.push_back({r, table.rowLabel(r), limit});
    }
    return refused;
}

std::string refusedValuesText(const std::vector<RefusedValue>& refused) {
    std::string text = "Nothing was sent. These values do not fit their parameters:";
    for (const RefusedValue& v : refused) text += "\n" + v.name + ": " + v.limit;
    return text;
}

SetPart setBody(const ParameterTable& table, ByteOrder order, std::size_t headSize) {
    SetPart part;
    const int rows = table.recordRowCount();
    for (int r = 0; r < rows; ++r) {
        const ParameterRecord& record = *table.recordOfRow(r);
        if (record.id.empty()) break;
        if (table.rowModified(r)) {
            const std::string& text = table.row(r).value;
            const auto value = EncodeValue(record, text, order);
            if (value) {
                appendParameterId(part.body, record.id);
                appendU16(part.body, static_cast<std::uint16_t>(value->size()), order);
                part.body.insert(part.body.end(), value->begin(), value->end());
                part.values.push_back({r, FormatValue(record, *value, order)});
                const std::string stored = storedText(record, *value, text);
                if (isOwnUserIdRecord(record.id)) part.newId = stored;
                if (isOwnPasswordRecord(record.id)) part.newPassword = stored;
            }
        }
        if (!part.body.empty() && headSize + part.body.size() > kSplitThreshold) {
            part.continuation = nextSentRow(table, r + 1, order);
            break;
        }
    }
    return part;
}

bool isOwnUserIdRecord(const std::string& id) { return startsWith(id, "2.") && endsWith(id, ".1"); }
bool isOwnPasswordRecord(const std::string& id) { return startsWith(id, "2.") && endsWith(id, ".2"); }

bool isClassBlock(const std::string& id) {
    return id == "0" || (id.size() >= 2 && id.compare(id.size() - 2, 2, ".0") == 0);
}

bool holdsOwnPassword(const ParameterTable& table, int row) {
    const ParameterRecord* record = table.recordOfRow(row);
    return record && isOwnPasswordRecord(record->id);
}

std::string shownValue(const ParameterTable& table, int row, bool showPasswords) {
    return shownText(table, row, table.row(row).value, showPasswords);
}

std::string shownText(const ParameterTable& table, int row, const std::string& text, bool showPasswords) {
    if (showPasswords || text.empty() || !holdsOwnPassword(table, row)) return text;
    return std::string(kHiddenPasswordText);
}

}  // namespace tarn
