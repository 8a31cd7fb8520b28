// Fuzz target: the .CNF reader, the header check and the row updates.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/params/configuration_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tarn::ParsedConfiguration parsed = tarn::parseConfiguration(text);
    std::vector<tarn::ConfigurationRow> rows{{"A", "one", tarn::AccessMode::ReadWrite, false},
                                             {"B", "two", tarn::AccessMode::ReadOnly, false},
                                             {"", "", tarn::AccessMode::Hidden, false},
                                             {"D", "", tarn::AccessMode::ReadWrite, false}};
    tarn::ConfigurationHeader selection = parsed.header;
    selection.deviceCount = 1;
    tarn::applyConfiguration(parsed, selection, rows);
    if (rows.size() != 4 || rows[1].modified || (rows[1].value != "two" && !rows[1].value.empty())) __builtin_trap();
    // What the writer makes of the rows reads back as the same entries.
    const std::string again = tarn::formatConfiguration(selection, rows);
    const tarn::ParsedConfiguration reread = tarn::parseConfiguration(again);
    if (!selection.productId.empty() && !selection.version.empty() && reread.entries.size() != 3) __builtin_trap();
    return 0;
}
