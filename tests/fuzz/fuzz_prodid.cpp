// Fuzz target: the prodid.ini reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/params/product_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarn::ProductTable table;
    table.loadFromText(std::string_view(reinterpret_cast<const char*>(data), size), "prodid.ini");
    if (table.count() > tarn::kMaxTableEntries) __builtin_trap();
    for (const auto& e : table.entries()) {
        if (e.name.empty() || e.id.empty() || e.name.size() > tarn::kMaxTableTokenLength ||
            e.id.size() > tarn::kMaxTableTokenLength)
            __builtin_trap();
        const int found = table.FindProductId(e.id);
        if (found < 0 || table.entries()[static_cast<std::size_t>(found)].id != e.id) __builtin_trap();
    }
    table.SelectProduct(static_cast<int>(size % 7) - 1);
    (void)table.currentName();
    return 0;
}
