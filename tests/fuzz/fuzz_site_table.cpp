// Fuzz target: the site table reader, its check against two devices, and the writer, whose text
// reads back as the same table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/fleet/site_check.h"
#include "core/fleet/site_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarn::SiteDefinitions definitions(std::string(TARN_FUZZ_DATA_DIR) + "/");
    static const std::vector<tarn::DeviceEntry> answered{
        {"Pump-1", "127.0.0.1", "02:00:00:00:00:01", "74", "1.1", 1, false, {}},
        {"Pump-2", "127.0.0.2", "02:00:00:00:00:02", "74", "1.1", 1, false, {}}};
    const tarn::SiteRead read = tarn::parseSiteTable(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.problems.empty()) return 0;
    tarn::checkSiteTable(read.table, answered, definitions);
    const tarn::SiteRead again = tarn::parseSiteTable(tarn::formatSiteTable(read.table));
    if (!again.problems.empty() || again.table.columns != read.table.columns ||
        again.table.devices.size() != read.table.devices.size())
        __builtin_trap();
    for (std::size_t d = 0; d < read.table.devices.size(); ++d) {
        if (again.table.devices[d].mac != read.table.devices[d].mac ||
            again.table.devices[d].cells != read.table.devices[d].cells)
            __builtin_trap();
    }
    return 0;
}
