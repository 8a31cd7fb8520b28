// Compare with file: the values a .CNF file holds for the records of the list, and which rows show
// another value. Nothing is marked and nothing is sent; the list only shows where the devices
// drifted from the file.
//
// Two texts are the same value when the value codec shows them alike: "1" and the name of defined
// value 1, "010.0.0.1" and "10.0.0.1", "1.5" and "1.500000", "100ms" and "100  ms". A value as the
// file writes it (blanks as "_") also matches, so that a text holding "_" compares equal to the file
// saved from it: the file's value of a row is what a Load would give it (entryText). Only read/write
// records are compared (the rows a Load would write); a "<none>" entry is the empty text of a text
// record, and compares nothing for other records (no value when the file was saved). A row the list shows empty, as
// when the selected devices differ among themselves, differs from any value the file has for it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/common/bytes.h"
#include "core/params/configuration_file.h"
#include "core/params/definition_set.h"

namespace tarn {

// The text as the list would show that value: encoded and formatted again when it encodes exactly,
// otherwise unchanged.
std::string normalisedValue(const ParameterRecord& record, const std::string& text, ByteOrder order);

class ConfigurationComparison {
public:
    ConfigurationComparison() = default;
    // The file's entries by record: entry row r stands for rowRecords[r], the record that row r of
    // the list shows now (rows outside it are ignored). The byte order is the set's product's.
    ConfigurationComparison(const ParsedConfiguration& file, const std::vector<int>& rowRecords,
                            const DefinitionSet& set);

    // The file's value of the record, shown as `shown` now, as the list would show it; nothing when
    // the file has none.
    std::optional<std::string> fileValue(int record, const std::string& shown) const;
    // Whether the shown text of the record holds another value than the file.
    bool differs(int record, const std::string& shown) const;

private:
    const DefinitionSet* set_ = nullptr;
    ByteOrder order_ = ByteOrder::Little;
    std::vector<std::optional<ConfigurationEntry>> values_;  // per record of the set
};

}  // namespace tarn
