// Fuzz target: the pwd.ini reader; every entry it takes must be written back to the same tokens.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/manage/credential_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tarn::LabelledEntries read = tarn::CredentialLog::parse(text);
    if (read.entries.size() > static_cast<std::size_t>(tarn::kMaxTableEntries) || read.stopOffset > size)
        __builtin_trap();
    std::string written;
    int number = 0;
    for (const auto& tokens : read.entries) {
        if (tokens.size() != 3) __builtin_trap();
        written += tarn::CredentialLog::formatEntry(++number, {tokens[0], tokens[1], tokens[2]});
    }
    const tarn::LabelledEntries again = tarn::CredentialLog::parse(written);
    if (again.entries != read.entries || again.stop != tarn::TableStop::EndOfText) __builtin_trap();
    return 0;
}
