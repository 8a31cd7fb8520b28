// A site table against the devices it is for: the definitions of each device's product, the check
// of every cell before anything is sent, the values each device is given, and the table made from
// devices' lists (a backup folder's .CNF files, or lists read from the devices).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/discovery/device_entry.h"
#include "core/fleet/fleet_apply.h"
#include "core/fleet/site_table.h"
#include "core/manage/device_outcome.h"
#include "core/params/definition_store.h"
#include "core/params/parameter_table.h"
#include "core/params/product_table.h"

namespace tarn {

// The rows that tell devices apart: two devices never get one address or one name.
inline constexpr const char* kSiteAddressRow = "IP address";
inline constexpr const char* kSiteNameRow = "Device name";

// The list of each product and version (every record a row, values empty), read from the data folder
// (prodid.ini and the .dcf files) once.
class SiteDefinitions {
public:
    explicit SiteDefinitions(std::string dataDir);  // with its trailing "/"
    // Nothing when there are no definitions, and then *problem says why.
    ParameterTable* list(const std::string& productId, const std::string& version, std::string* problem = nullptr);

private:
    struct Entry {
        DefinitionSet set;
        ParameterTable table;
        std::string problem;
    };
    std::string dataDir_;
    bool productsRead_ = false;
    ProductTable products_;
    DefinitionStore store_;
    std::map<std::pair<std::string, std::string>, std::unique_ptr<Entry>> lists_;
};

// Checks the cells of every listed device that answered (`answered`, as the probe found them): each
// column names one row of the device's list (a name shared by several rows is refused, as params set
// refuses it), the row is writable and the text encodes exactly. Then the addresses and names every
// answered device will have (its cell, else what it has now) must differ from device to device.
// A listed device that did not answer is not checked: it gets its own outcome and nothing else.
std::vector<SiteProblem> checkSiteTable(const SiteTable& table, const std::vector<DeviceEntry>& answered,
                                        SiteDefinitions& definitions);

// Per device (its MAC as the table writes it): the non-blank cells, as (row, text) for the job layer.
std::map<std::string, std::vector<std::pair<std::string, std::string>>> siteValues(const SiteTable& table);

// The outcome of each line of the table after a set that went only to the devices that change:
// its set outcome; else, for a device that could not be read, how the reading went (no-reply,
// refused, failed); else ok, "no row differs". In the table's order.
OperationOutcomes siteOutcomes(const SiteTable& table, const OperationOutcomes& read, const OperationOutcomes& set);

// A device's plan: the rows its line changes on a list that holds the device's values (now -> new),
// in column order. Blank cells, cells that name no one row, and cells equal to the value by the
// list's rule ("10.0.0.010" is 10.0.0.10, "0" of a row that shows "Off") change nothing.
std::vector<RowChange> siteChanges(const SiteTable& table, const SiteDevice& device, const ParameterTable& values,
                                   ByteOrder order);

// A table made from devices' lists (their values read), one device at a time: the rows `only` names
// (names or ids), or else every writable row but the device's own user ID and password. A column is
// named by the row's name when that is one row of the list, else by its id; a device without the row
// gets a blank cell. Units are left out of the cells ("300", not "300  s").
class SiteExport {
public:
    explicit SiteExport(std::vector<std::string> only) : only_(std::move(only)) {}
    void add(const std::string& mac, const ParameterTable& list);
    // The table, or the problems (a column of `only` no device has, or that names several rows).
    SiteTable table() const;
    std::vector<std::string> problems() const;

private:
    std::vector<std::string> only_;
    std::vector<std::string> columns_;     // without `only`: in the order they were first met
    std::unordered_set<std::string> met_;  // the same, to tell a new one without a scan
    std::vector<std::pair<std::string, std::map<std::string, std::string>>> devices_;
    std::map<std::string, std::string> onlyProblems_;  // per `only` column never met as one row
};

// A backup folder (its <MAC>.CNF files, fleet backup's names) as a site table; every file that cannot
// be read, or whose product has no definitions, is a problem.
void exportBackupFolder(const std::string& folder, SiteDefinitions& definitions, SiteExport& out,
                        std::vector<std::string>& problems);

}  // namespace tarn
