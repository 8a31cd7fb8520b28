#include "core/discovery/target_table.h"

namespace tarn {

bool TargetTable::begin(int count) {
    if (count < 0 || count > kCapacity) return false;
    count_ = count;
    records_.assign(static_cast<std::size_t>(count), TargetRecord{});
    return true;
}

std::uint16_t TargetTable::drawRequestId(int index, const RequestIdSource& draw, ByteOrder order) {
    for (;;) {
        const std::uint16_t id = draw();
        RequestIdBytes bytes{};
        writeU16(bytes.data(), id, order);
        bool used = false;
        for (int i = 0; i < index && !used; ++i) used = records_[static_cast<std::size_t>(i)].requestId == bytes;
        if (!used) {
            (*this)[index].requestId = bytes;
            return id;
        }
    }
}

int TargetTable::match(const RequestIdBytes& received) const {
    for (int i = 0; i < count_; ++i) {
        if (records_[static_cast<std::size_t>(i)].requestId == received) return i;
    }
    return -1;
}

std::string tooManyDevicesMessage(int selected) {
    return "Too many devices selected (" + std::to_string(selected) + "). At most " +
           std::to_string(TargetTable::kCapacity) + " devices can take part in one operation.";
}

}  // namespace tarn
