// What `fleet apply` sends: the rows of a .CNF that differ from a device's values, limited to the
// rows the operator names, and the check of the file's values before any device is touched.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/common/prompter.h"
#include "core/manage/management_requests.h"
#include "core/params/configuration_file.h"
#include "core/params/definition_store.h"
#include "core/params/parameter_table.h"

namespace tarn {

// One row whose device value differs from the file's.
struct RowChange {
    int row = -1;
    std::string name;  // the row's label: its class too when several rows have the name
    std::string deviceValue;
    std::string fileValue;
};

// The file's product and version, the records --only names (every writable row when it names
// none), and what is wrong: a message when the file, its definitions or a named row cannot be
// used, else the file's values that a device could not take ("Local port: at most 65535").
struct ApplyPlan {
    ConfigurationHeader header;
    std::optional<std::vector<int>> onlyRecords;
    std::string problem;
    std::vector<RefusedValue> refused;
    bool usable() const { return problem.empty() && refused.empty(); }
};

// Reads the file and the definitions of its product and version (prodid.ini and the .dcf in
// dataDir, which ends in "/"), and checks the values it would send to a device that holds none of
// them. `only` holds parameter names or record ids, as the list shows them; each must be writable.
ApplyPlan planApply(const std::string& cnfPath, const std::string& dataDir, const std::vector<std::string>& only,
                    DefinitionStore& store);

// After a .CNF was loaded into the table (the rows it changes marked; `before` holds the row values
// from before): the rows outside onlyRecords, and the rows whose new text is the value they held
// (by the rule of Compare with file: "1" and "Enable", "010.0.0.1" and "10.0.0.1"), get back their
// text and lose their mark. Returns the marked rows, which a set would send.
std::vector<RowChange> limitChanges(ParameterTable& table, const std::vector<std::string>& before,
                                    const std::optional<std::vector<int>>& onlyRecords, ByteOrder order);

// "3 rows differ: Location, Local port, Gateway", "no row differs".
std::string changesSummary(const std::vector<RowChange>& changes);

}  // namespace tarn
