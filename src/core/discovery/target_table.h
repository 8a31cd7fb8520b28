// The devices taking part in the management operation in progress, against which replies are matched
// by their request id.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/discovery/management_message.h"

namespace tarn {

struct TargetRecord {
    std::string mac;
    std::string id;
    std::string password;
    RequestIdBytes requestId{};  // exactly as written into the request, wire order
};

class TargetTable {
public:
    static constexpr int kCapacity = 700;

    // Starts an operation for `count` devices, every entry empty. Refused (false) when count exceeds
    // the capacity.
    bool begin(int count);
    int count() const { return count_; }
    TargetRecord& operator[](int index) { return records_.at(static_cast<std::size_t>(index)); }
    const TargetRecord& operator[](int index) const { return records_.at(static_cast<std::size_t>(index)); }

    // Draws the request id for entry `index`: distinct from the ids of entries 0..index-1 of this
    // operation, so that a reply is never credited to the wrong device. Stores the wire bytes.
    std::uint16_t drawRequestId(int index, const RequestIdSource& draw, ByteOrder order);

    // The first entry 0..count-1 whose stored request id equals the received bytes, or -1.
    int match(const RequestIdBytes& received) const;

private:
    std::vector<TargetRecord> records_;
    int count_ = 0;
};

// The message for a selection larger than one operation can address.
std::string tooManyDevicesMessage(int selected);

}  // namespace tarn
