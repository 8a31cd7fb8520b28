#include "core/params/parameter_table.h"

#include <algorithm>

#include "core/params/value_codec.h"

namespace tarn {

void ParameterTable::reset() {
    rowIndex_.reset();
    if (observer_) observer_->rowsReset();
}

const ParameterTable::RowIndex& ParameterTable::rowIndex() const {
    if (!rowIndex_) {
        auto index = std::make_shared<RowIndex>();
        for (int r = 0; r < recordRows_; ++r) {
            if (!rowShown(r)) continue;
            const std::string& name = rows_[static_cast<std::size_t>(r)].name;
            if (!name.empty()) index->shownOfName[name].push_back(r);
            index->firstShownOfId.emplace(recordOfRow(r)->id, r);
        }
        rowIndex_ = std::move(index);
    }
    return *rowIndex_;
}

void ParameterTable::changed(int first, int last) {
    if (observer_ && first <= last) observer_->rowsChanged(first, last);
}

void ParameterTable::setDefinitions(const DefinitionSet* set) {
    if (set != set_) {
        comparison_ = {};
        comparing_ = false;
    }
    set_ = set;
    modified_.assign(set ? static_cast<std::size_t>(set->recordCount()) : 0, 0);
    rows_.clear();
    recordRows_ = 0;
    groupStart_ = 0;
    reset();
}

void ParameterTable::showGroup(int group) {
    rows_.clear();
    recordRows_ = 0;
    groupStart_ = 0;
    if (set_) {
        const auto [first, end] = set_->groupRange(group);
        groupStart_ = first;
        rows_.reserve(static_cast<std::size_t>(end - first) + 1);
        for (int i = first; i < end; ++i) {
            const auto [label, name] = listRowTexts(set_->records[static_cast<std::size_t>(i)]);
            rows_.push_back({i, label, name, {}});
        }
        recordRows_ = end - first;
    }
    reset();
}

void ParameterTable::clear() {
    rows_.clear();
    recordRows_ = 0;
    reset();
}

void ParameterTable::showSetupRow(const std::string& text) {
    if (rowCount() > recordRows_) return;
    rows_.push_back({-1, kSetupRowClass, text, {}});
    reset();
}

void ParameterTable::showSerialSetupRow() {
    rows_.clear();
    recordRows_ = 0;
    rows_.push_back({-1, kSetupRowClass, kSerialSetupRowText, {}});
    reset();
}

int ParameterTable::rowOfRecord(int record) const {
    const int r = record - groupStart_;
    return r >= 0 && r < recordRows_ ? r : -1;
}

const ParameterRecord* ParameterTable::recordOfRow(int r) const {
    if (!set_ || r < 0 || r >= recordRows_) return nullptr;
    return &set_->records[static_cast<std::size_t>(rows_[static_cast<std::size_t>(r)].record)];
}

int ParameterTable::findRow(const std::string& nameOrId) const {
    for (int r = 0; r < recordRows_; ++r) {
        const ParameterRow& row = rows_[static_cast<std::size_t>(r)];
        if (!row.name.empty() && row.name == nameOrId) return r;
    }
    for (int r = 0; r < recordRows_; ++r) {
        if (recordOfRow(r)->id == nameOrId) return r;
    }
    return -1;
}

std::vector<int> ParameterTable::findRows(const std::string& nameOrId) const {
    const RowIndex& index = rowIndex();
    if (const auto named = index.shownOfName.find(nameOrId); named != index.shownOfName.end()) return named->second;
    if (const auto id = index.firstShownOfId.find(nameOrId); id != index.firstShownOfId.end()) return {id->second};
    return {};
}

std::string ParameterTable::rowLabel(int r) const {
    if (r < 0 || r >= recordRows_) return {};
    const ParameterRow& row = rows_[static_cast<std::size_t>(r)];
    for (int other = 0; other < recordRows_; ++other) {
        if (other != r && rows_[static_cast<std::size_t>(other)].name == row.name)
            return row.name + " (" + row.classText + ")";
    }
    return row.name;
}

std::string ParameterTable::rowIds(const std::vector<int>& rows) const {
    std::string text;
    for (int r : rows) {
        const ParameterRecord* record = recordOfRow(r);
        if (record) text += (text.empty() ? "" : ", ") + record->id;
    }
    return text;
}

void ParameterTable::setValue(int r, const std::string& text) {
    if (r < 0 || r >= rowCount()) return;
    ParameterRow& row = rows_[static_cast<std::size_t>(r)];
    row.known = true;
    if (row.value == text) return;
    row.value = text;
    changed(r, r);
}

void ParameterTable::forgetValue(int r) {
    if (r < 0 || r >= rowCount()) return;
    ParameterRow& row = rows_[static_cast<std::size_t>(r)];
    row.known = false;
    if (row.value.empty()) return;
    row.value.clear();
    changed(r, r);
}

void ParameterTable::clearValues() {
    for (ParameterRow& row : rows_) {
        row.value.clear();
        row.known = false;
    }
    changed(0, rowCount() - 1);
}

void ParameterTable::clearMarks() {
    modified_.assign(modified_.size(), 0);
    changed(0, rowCount() - 1);
}

bool ParameterTable::rowShown(int r) const {
    if (r < 0 || r >= rowCount()) return false;
    const ParameterRecord* record = recordOfRow(r);
    return !record || record->accessMode != AccessMode::Hidden;
}

int ParameterTable::modifiedCount() const {
    return static_cast<int>(std::count(modified_.begin(), modified_.end(), 1));
}

bool ParameterTable::modified(int record) const {
    return record >= 0 && record < static_cast<int>(modified_.size()) && modified_[static_cast<std::size_t>(record)];
}

void ParameterTable::setModified(int record, bool on) {
    if (record < 0 || record >= static_cast<int>(modified_.size())) return;
    if (static_cast<bool>(modified_[static_cast<std::size_t>(record)]) == on) return;
    modified_[static_cast<std::size_t>(record)] = on;
    const int r = rowOfRecord(record);
    if (r >= 0) changed(r, r);
}

ParameterTable::Editor ParameterTable::editorFor(int r) const {
    const ParameterRecord* record = recordOfRow(r);
    if (!record) return Editor::None;
    if (!record->enumeration.empty()) return Editor::Popup;
    return record->accessMode == AccessMode::ReadWrite ? Editor::Text : Editor::None;
}

void ParameterTable::beginEdit(int r) {
    if (writable(r)) setModified(row(r).record, true);
}

bool ParameterTable::writable(int r) const {
    const ParameterRecord* record = recordOfRow(r);
    return record && record->accessMode == AccessMode::ReadWrite;
}

void ParameterTable::nameDefinedValues() {
    for (int r = 0; r < recordRows_; ++r) {
        const ParameterRecord* record = recordOfRow(r);
        for (const DefinedValue& dv : record->definedValues) {
            if (rows_[static_cast<std::size_t>(r)].value == std::to_string(dv.value)) {
                setValue(r, dv.text);
                break;
            }
        }
    }
}

void ParameterTable::setComparison(ConfigurationComparison comparison) {
    comparison_ = std::move(comparison);
    comparing_ = true;
    changed(0, rowCount() - 1);
}

void ParameterTable::clearComparison() {
    if (!comparing_) return;
    comparison_ = {};
    comparing_ = false;
    changed(0, rowCount() - 1);
}

std::optional<std::string> ParameterTable::differingFileValue(int r) const {
    if (!comparing_ || r < 0 || r >= recordRows_) return std::nullopt;
    const ParameterRow& row = rows_[static_cast<std::size_t>(r)];
    if (!comparison_.differs(row.record, row.value)) return std::nullopt;
    return comparison_.fileValue(row.record, row.value);
}

int ParameterTable::differingRowCount() const {
    int count = 0;
    for (int r = 0; r < recordRows_; ++r) count += differingFileValue(r) ? 1 : 0;
    return count;
}

std::vector<ConfigurationRow> ParameterTable::configurationRows() const {
    std::vector<ConfigurationRow> out;
    for (int r = 0; r < recordRows_; ++r) {
        const ParameterRow& row = rows_[static_cast<std::size_t>(r)];
        const ParameterRecord& record = *recordOfRow(r);
        out.push_back({row.name, row.value, record.accessMode, modified(row.record),
                       valueTypeOf(record.type) == ValueType::Text, row.known});
    }
    return out;
}

void ParameterTable::applyConfigurationRows(const std::vector<ConfigurationRow>& rows) {
    for (int r = 0; r < recordRows_ && r < static_cast<int>(rows.size()); ++r) {
        if (rows[static_cast<std::size_t>(r)].known)
            setValue(r, rows[static_cast<std::size_t>(r)].value);
        else
            forgetValue(r);
        if (rows[static_cast<std::size_t>(r)].modified) setModified(rows_[static_cast<std::size_t>(r)].record, true);
    }
}

bool ParameterTable::anyValue() const {
    for (int r = 0; r < recordRowCount(); ++r)
        if (!row(r).value.empty()) return true;
    return false;
}

}  // namespace tarn
