#include "core/fleet/fleet_apply.h"

#include <algorithm>
#include <cstdio>

#include "core/common/bytes.h"
#include "core/common/file_io.h"
#include "core/params/configuration_compare.h"
#include "core/params/product_table.h"

namespace tarn {

namespace {

constexpr std::size_t kMaxFileSize = 16u << 20;

}  // namespace

ApplyPlan planApply(const std::string& cnfPath, const std::string& dataDir, const std::vector<std::string>& only,
                    DefinitionStore& store) {
    ApplyPlan plan;
    const FileContent file = readWholeFile(cnfPath, kMaxFileSize);
    if (file.status != ReadStatus::Ok) {
        plan.problem = "cannot read " + cnfPath;
        return plan;
    }
    const ParsedConfiguration parsed = parseConfiguration(file.text);
    if (!parsed.headerRead || parsed.header.productId.empty() || parsed.header.version.empty()) {
        plan.problem = cnfPath + " is not a configuration file (no product id and version line)";
        return plan;
    }
    if (!parsed.damage.empty()) {
        plan.problem = cnfPath + ": " + configurationDamageText(parsed);
        return plan;
    }
    plan.header = parsed.header;
    plan.header.deviceCount = 1;

    ProductTable products;
    // What goes wrong with the data folder is said once, in the plan's problem.
    products.LoadProductTable(dataDir + kProductTableFileName);
    const int product = products.FindProductId(plan.header.productId);
    if (product < 0 || !products.SelectProduct(product)) {
        plan.problem = "product id " + plan.header.productId + " of " + cnfPath + " is not in prodid.ini";
        return plan;
    }
    int major = 0, minor = 0;
    std::sscanf(plan.header.version.c_str(), "%d.%d", &major, &minor);
    const int productNumber = productNumberFromId(plan.header.productId);
    const DcfLoadResult load = store.LoadDeviceConfiguration(
        deviceConfigurationPath(dataDir, products.currentName(), plan.header.version), productNumber, major, minor);
    if (!load.loaded) {
        plan.problem = "no parameter definitions for " + products.currentName() + " " + plan.header.version;
        return plan;
    }

    ParameterTable table;
    table.setDefinitions(store.current());
    table.showGroup(0);
    if (!only.empty()) {
        std::vector<int> records;
        for (const std::string& name : only) {
            // A name means every row of that name (each instance of its class); an id its one row.
            const std::vector<int> rows = table.findRows(name);
            if (rows.empty()) {
                plan.problem =
                    "--only: " + products.currentName() + " " + plan.header.version + " has no row '" + name + "'";
                return plan;
            }
            for (int r : rows) {
                if (!table.writable(r)) {
                    plan.problem = "--only: '" + name + "' is read-only";
                    return plan;
                }
                records.push_back(table.row(r).record);
            }
        }
        plan.onlyRecords = std::move(records);
    }
    std::vector<ConfigurationRow> rows = table.configurationRows();
    applyConfiguration(parsed, plan.header, rows);
    table.applyConfigurationRows(rows);
    limitChanges(table, std::vector<std::string>(static_cast<std::size_t>(table.rowCount())), plan.onlyRecords,
                 byteOrderForProduct(productNumber));
    plan.refused = checkMarkedRows(table, byteOrderForProduct(productNumber));
    return plan;
}

std::vector<RowChange> limitChanges(ParameterTable& table, const std::vector<std::string>& before,
                                    const std::optional<std::vector<int>>& onlyRecords, ByteOrder order) {
    std::vector<RowChange> changes;
    for (int r = 0; r < table.recordRowCount(); ++r) {
        if (!table.rowModified(r)) continue;
        const ParameterRow& row = table.row(r);
        const ParameterRecord& record = *table.recordOfRow(r);
        const std::string was = r < static_cast<int>(before.size()) ? before[static_cast<std::size_t>(r)] : "";
        const bool named =
            !onlyRecords || std::find(onlyRecords->begin(), onlyRecords->end(), row.record) != onlyRecords->end();
        const bool same =
            !was.empty() && normalisedValue(record, was, order) == normalisedValue(record, row.value, order);
        if (!named || same) {
            table.setValue(r, was);
            table.setModified(row.record, false);
            continue;
        }
        changes.push_back({r, table.rowLabel(r), was, row.value});
    }
    return changes;
}

std::string changesSummary(const std::vector<RowChange>& changes) {
    if (changes.empty()) return "no row differs";
    std::string text = std::to_string(changes.size()) + (changes.size() == 1 ? " row differs: " : " rows differ: ");
    for (std::size_t i = 0; i < changes.size(); ++i) text += (i ? ", " : "") + changes[i].name;
    return text;
}

}  // namespace tarn
