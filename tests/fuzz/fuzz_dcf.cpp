// Fuzz target: the .dcf parser, and the value codec over every record it accepts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/params/dcf_parser.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tarn::DcfParseResult result = tarn::parseDeviceConfiguration(text);
    if (!result.ok) {
        if (result.error.empty()) __builtin_trap();
        return 0;
    }
    const tarn::DefinitionSet& set = result.set;
    if (set.recordCount() > tarn::kMaxRecords) __builtin_trap();
    if (set.groups.size() < 2 || set.groups.back().start != set.recordCount()) __builtin_trap();
    for (int g = 0; g < set.groupCount(); ++g) {
        const auto [first, last] = set.groupRange(g);
        if (first < 0 || first > last || last > set.recordCount()) __builtin_trap();
    }
    // Format every record from the input bytes and encode the text again: the codec must stay inside
    // the bytes and never announce a length other than the bytes it writes.
    std::size_t offset = 0;
    for (int i = 0; i < set.recordCount(); ++i) {
        const auto& record = set.records[static_cast<std::size_t>(i)];
        if (record.definedValues.size() > tarn::kMaxDefinedValues ||
            record.enumeration.size() > tarn::kMaxEnumerationEntries)
            __builtin_trap();
        const auto value = tarn::blockValue(set, i, tarn::ByteView(data, size), offset);
        const std::string shown = value ? tarn::FormatValue(record, *value, tarn::ByteOrder::Big) : std::string();
        tarn::Bytes out;
        if (tarn::appendParameterEntry(out, record, shown, tarn::ByteOrder::Little)) {
            // k, the id pieces, then the value length, which must count exactly the bytes after it.
            const std::size_t at = 1 + out[0];
            if (out.size() < at + 2 || out.size() - at - 2 != static_cast<std::size_t>(out[at] | out[at + 1] << 8))
                __builtin_trap();
        } else if (!out.empty()) {
            __builtin_trap();
        }
        offset += static_cast<std::size_t>(record.size);
        if (offset > size) offset = 0;
    }
    return 0;
}
