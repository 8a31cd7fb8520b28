#include "core/monitor/monitor_interval.h"

#include <climits>
#include <cstdint>

#include "core/common/file_io.h"

namespace tarn {

namespace {
constexpr std::size_t kFileBytes = 4;
}

int loadMonitorInterval(const std::string& path) {
    // A longer file is read for its first four bytes, as a reader of four bytes would.
    const FileContent file = readWholeFile(path, 4096);
    if (file.status != ReadStatus::Ok || file.text.size() < kFileBytes) return kDefaultMonitorInterval;
    std::uint32_t raw = 0;
    for (std::size_t k = 0; k < kFileBytes; ++k)
        raw |= static_cast<std::uint32_t>(static_cast<unsigned char>(file.text[k])) << (8 * k);
    const auto seconds = static_cast<std::int32_t>(raw);
    if (seconds <= 0 || seconds > INT_MAX / 1000) return kDefaultMonitorInterval;
    return seconds;
}

bool storeMonitorInterval(const std::string& path, int seconds) {
    const auto raw = static_cast<std::uint32_t>(static_cast<std::int32_t>(seconds));
    std::string bytes(kFileBytes, '\0');
    for (std::size_t k = 0; k < kFileBytes; ++k) bytes[k] = static_cast<char>((raw >> (8 * k)) & 0xFF);
    return writeFileAtomically(path, bytes, 0600);
}

}  // namespace tarn
