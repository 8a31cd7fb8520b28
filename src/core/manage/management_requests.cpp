#include "core/manage/management_requests.h"

#include <algorithm>

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
        else if (EncodeValue(record, table.row(r).value, order, &limit))
            continue;
        refused.push_back({r, record.name, limit});
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
                // The device's own credentials are what it stores: the bytes up to the first zero.
                const std::string stored = valueTypeOf(record.type) == ValueType::Text
                                               ? std::string(value->begin(), std::find(value->begin(), value->end(), 0))
                                               : text;
                if (isOwnUserIdRecord(record.id)) part.newId = stored;
                if (isOwnPasswordRecord(record.id)) part.newPassword = stored;
            }
        }
        if (r + 1 < rows && headSize + part.body.size() > kSplitThreshold) {
            part.continuation = r + 1;
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
    const std::string& value = table.row(row).value;
    if (showPasswords || value.empty() || !holdsOwnPassword(table, row)) return value;
    return std::string(kHiddenPasswordText);
}

}  // namespace tarn
