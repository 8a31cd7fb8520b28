// The rows of the parameter list, kept in core so that every rule about them (which records a group
// shows, which values were edited, how a defined value is named) is reached without a widget.
//
// Row r of a group shows record (group start + r) of the current definition set; hidden records
// keep their row (so row numbers stay the list positions that .CNF files refer to) with empty class
// and parameter texts. After the records there may be one set-up row, through which the I/O monitor
// is opened. The modified marks belong to the records of the set, not to the rows.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/params/configuration_compare.h"
#include "core/params/configuration_file.h"
#include "core/params/definition_set.h"

namespace tarn {

inline constexpr const char* kSetupRowClass = "TARN";
inline constexpr const char* kSetupRowText = "Set up Input/Output/ADC ports";
inline constexpr const char* kSerialSetupRowText = "Set up input/output/ADC ports";

// Told about every change, so that a view can show it.
class ParameterTableObserver {
public:
    virtual ~ParameterTableObserver() = default;
    virtual void rowsReset() = 0;                       // rows came or went
    virtual void rowsChanged(int first, int last) = 0;  // texts or marks of rows first..last
};

struct ParameterRow {
    int record = -1;  // record of the current set; -1 for the set-up row
    std::string classText;
    std::string name;
    std::string value;
    // The cell shows what the devices hold (read, typed or loaded); false while it was never read,
    // and when it was emptied because the selected devices hold different values.
    bool known = false;
};

class ParameterTable {
public:
    void setObserver(ParameterTableObserver* observer) { observer_ = observer; }

    // A new current set (or none): no rows, every mark cleared; a comparison ends when the set is
    // another one.
    void setDefinitions(const DefinitionSet* set);
    const DefinitionSet* definitions() const { return set_; }

    // Rows for group g of the current set ("All classes" is every record); values empty.
    void showGroup(int group);
    // No rows at all.
    void clear();
    // The set-up row at the end, once: added when missing, kept when there.
    void showSetupRow(const std::string& text = kSetupRowText);
    // Only the set-up row (serial link mode): no records.
    void showSerialSetupRow();

    int rowCount() const { return static_cast<int>(rows_.size()); }
    const ParameterRow& row(int r) const { return rows_.at(static_cast<std::size_t>(r)); }
    // Rows that stand for records (the set-up row not counted).
    int recordRowCount() const { return recordRows_; }
    // Whether any parameter row holds a value: a device that gave none has nothing to save.
    bool anyValue() const;
    // The row that shows a record, or -1 when the current group does not show it.
    int rowOfRecord(int record) const;
    const ParameterRecord* recordOfRow(int r) const;
    // The row whose parameter name or id is the text, or -1 (the first, when several have the name).
    int findRow(const std::string& nameOrId) const;
    // Every shown row the text names: the rows of that parameter name (one per instance of a class
    // such as "Inputs/DI 1".."Inputs/DI 12"), or else the row of that id.
    std::vector<int> findRows(const std::string& nameOrId) const;
    // The row as messages name it: its parameter name, and its class text too when another row of
    // the list has the same name ("Input mode (Inputs/DI 3)").
    std::string rowLabel(int r) const;
    // "3.1.1, 3.2.1, 3.3.1": the ids of the rows.
    std::string rowIds(const std::vector<int>& rows) const;
    // Whether a row is shown: hidden parameters keep their row (row numbers stay the list
    // positions that .CNF files use) but are not shown, by the list or by tarnctl.
    bool rowShown(int r) const;

    void setValue(int r, const std::string& text);
    // Empties the cell of a row whose value is not known (the selected devices hold different ones).
    void forgetValue(int r);
    // Empties the value of every row.
    void clearValues();
    // Clears every modified mark.
    void clearMarks();

    bool modified(int record) const;
    // The records that carry the mark: the edits a set would send.
    int modifiedCount() const;
    void setModified(int record, bool on);
    bool rowModified(int r) const { return modified(row(r).record); }

    // Editing rules of the list: the value cell of a record opens the enumeration popup when the
    // record has enumeration entries, the text editor when it is read/write, nothing otherwise.
    enum class Editor { None, Popup, Text };
    Editor editorFor(int r) const;
    // An editor was opened on the row (or a text was chosen): a read/write record counts as
    // modified, whether or not its value changes. A read-only record's popup only shows its entries:
    // a set would refuse the row.
    void beginEdit(int r);
    bool writable(int r) const;
    // A value in decimal form that equals one of the record's defined values is shown by its name.
    void nameDefinedValues();

    // Compare with file: rows whose value differs from the file's are highlighted until the
    // comparison is cleared or another definition set is listed. It follows the values as they
    // change (a new reading, an edit) and never touches a mark.
    void setComparison(ConfigurationComparison comparison);
    void clearComparison();
    bool comparing() const { return comparing_; }
    // The file's value of row r (as the list would show it) when the row's value differs from it.
    std::optional<std::string> differingFileValue(int r) const;
    int differingRowCount() const;

    // The rows as a configuration file sees them, and back (values and marks).
    std::vector<ConfigurationRow> configurationRows() const;
    void applyConfigurationRows(const std::vector<ConfigurationRow>& rows);

private:
    // findRows without a scan, for lookups by the thousand (a site table's columns on every device):
    // made on the first lookup after the rows change, shared by copies of the table.
    struct RowIndex {
        std::unordered_map<std::string, std::vector<int>> shownOfName;  // non-empty names
        std::unordered_map<std::string, int> firstShownOfId;
    };
    const RowIndex& rowIndex() const;
    void changed(int first, int last);
    void reset();

    ParameterTableObserver* observer_ = nullptr;
    const DefinitionSet* set_ = nullptr;
    int groupStart_ = 0;
    int recordRows_ = 0;
    std::vector<ParameterRow> rows_;
    std::vector<char> modified_;  // per record of the set
    ConfigurationComparison comparison_;
    bool comparing_ = false;
    mutable std::shared_ptr<const RowIndex> rowIndex_;
};

}  // namespace tarn
