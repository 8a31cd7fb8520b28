#include "core/params/configuration_compare.h"

#include "core/common/text.h"
#include "core/params/value_codec.h"

namespace tarn {

std::string normalisedValue(const ParameterRecord& record, const std::string& text, ByteOrder order) {
    const std::optional<Bytes> bytes = EncodeValue(record, text, order);
    return bytes ? FormatValue(record, *bytes, order) : text;
}

ConfigurationComparison::ConfigurationComparison(const ParsedConfiguration& file, const std::vector<int>& rowRecords,
                                                 const DefinitionSet& set)
    : set_(&set), order_(byteOrderForProduct(set.productNumber)), values_(static_cast<std::size_t>(set.recordCount())) {
    for (const ConfigurationEntry& entry : file.entries) {
        if (entry.row < 0 || entry.row >= static_cast<long long>(rowRecords.size())) continue;
        const int record = rowRecords[static_cast<std::size_t>(entry.row)];
        if (record < 0 || record >= set.recordCount()) continue;
        const ParameterRecord& r = set.records[static_cast<std::size_t>(record)];
        if (r.accessMode != AccessMode::ReadWrite) continue;
        // "<none>" on a value line only empties a cell: the file holds no value there. An exact
        // "<none>" is the empty text, a value of text rows only.
        if (!entry.exact && entry.token == kNoneToken) continue;
        if (entry.exact && entry.exact->empty() && valueTypeOf(r.type) != ValueType::Text) continue;
        std::optional<ConfigurationEntry>& value = values_[static_cast<std::size_t>(record)];
        // A later line for the same row wins, as it does when the file is loaded.
        value = entry;
    }
}

std::optional<std::string> ConfigurationComparison::fileValue(int record, const std::string& shown) const {
    if (record < 0 || record >= static_cast<int>(values_.size())) return std::nullopt;
    const std::optional<ConfigurationEntry>& value = values_[static_cast<std::size_t>(record)];
    if (!value) return std::nullopt;
    return normalisedValue(set_->records[static_cast<std::size_t>(record)], entryText(*value, shown), order_);
}

bool ConfigurationComparison::differs(int record, const std::string& shown) const {
    const std::optional<std::string> file = fileValue(record, shown);
    return file && *file != normalisedValue(set_->records[static_cast<std::size_t>(record)], shown, order_);
}

}  // namespace tarn
