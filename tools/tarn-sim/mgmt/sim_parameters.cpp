#include "tarn-sim/mgmt/sim_parameters.h"

#include <algorithm>

#include "core/params/value_codec.h"

namespace tarnsim {

namespace {

bool isBlockId(const std::string& id) { return id == "0" || (id.size() >= 2 && id.ends_with(".0")); }

// The last three bytes of the MAC address as one number: what a device's own numbers are made of.
std::uint32_t macTail(const DeviceIdentity& device) {
    return std::uint32_t{device.mac[3]} << 16 | std::uint32_t{device.mac[4]} << 8 | device.mac[5];
}

bool isUpTime(const tarn::ParameterRecord& r) {
    return r.name == "Up time" && tarn::valueTypeOf(r.type) == tarn::ValueType::UnsignedLong && r.size == 4;
}

// The text a record starts with, by what the record is; empty when it keeps its zero bytes.
std::string defaultText(const tarn::ParameterRecord& r, const DeviceIdentity& device) {
    switch (credentialRecordKind(r.id)) {
        case 1:
            return device.user;
        case 2:
            return device.password;
        default:
            break;
    }
    if (r.name == "Device name") return device.name;
    if (r.name == "IP mode") return "Static";
    if (r.name == "IP address") return device.address;
    if (r.name == "Subnet mask") return "255.0.0.0";
    if (r.name == "Local port") return std::to_string(device.localPort);
    if (r.name == "Firmware") return std::to_string(device.major) + "." + std::to_string(device.minor);
    if (r.name == "Serial number") return std::to_string(10000000 + macTail(device));
    // Up for some days, hours and minutes, different for each device.
    if (r.name == "Up time") return std::to_string(86400 * (1 + macTail(device) % 40) + 37 * macTail(device) % 86400);
    if (r.name == "Gateway") return "127.0.0.1";
    if (r.name == "Max connections") return "4";
    if (r.name == "Scale factor") return "1.0";
    if (r.name == "Baud rate") return "9600";
    if (r.name == "Data bits") return "8";
    if (r.name == "Stop bits") return "1";
    if (r.name == "Response timeout") return "1000";
    if (tarn::valueTypeOf(r.type) == tarn::ValueType::Mac) return tarn::formatMacText(device.mac);
    if (!r.enumeration.empty()) return r.enumeration.front().text;
    if (!r.definedValues.empty()) return r.definedValues.front().text;
    return {};
}

}  // namespace

int credentialRecordKind(const std::string& id) {
    if (!id.starts_with("2.")) return 0;
    if (id.ends_with(".1")) return 1;
    if (id.ends_with(".2")) return 2;
    return 0;
}

SimParameters::SimParameters(std::shared_ptr<const tarn::DefinitionSet> set, tarn::ByteOrder order,
                             const DeviceIdentity& identity)
    : set_(std::move(set)), order_(order), values_(offsetOf(set_->recordCount()), 0) {
    for (int i = 0; i < set_->recordCount(); ++i) {
        const std::string text = defaultText(set_->records[static_cast<std::size_t>(i)], identity);
        // A default the record's type cannot hold leaves the zero bytes.
        if (!text.empty()) encodeInto(i, text);
        if (isUpTime(set_->records[static_cast<std::size_t>(i)])) upTimeRecords_.push_back(i);
    }
}

void SimParameters::rebooted() {
    for (int i : upTimeRecords_) store(i, tarn::Bytes(4, 0));
    upTimeFrom_ = Clock::now();
}

StartupIdentity SimParameters::startupIdentity() const {
    StartupIdentity identity;
    bool named = false, addressed = false, dhcp = false;
    for (int i = 0; i < set_->recordCount(); ++i) {
        const std::string& name = set_->records[static_cast<std::size_t>(i)].name;
        if (name == "Device name" && !named) {
            identity.name = text(set_->records[static_cast<std::size_t>(i)].id);
            named = true;
        } else if (name == "IP address" && !addressed) {
            identity.address = text(set_->records[static_cast<std::size_t>(i)].id);
            addressed = true;
        } else if (name == "IP mode") {
            dhcp = dhcp || text(set_->records[static_cast<std::size_t>(i)].id) == "DHCP";
        }
    }
    if (dhcp) identity.address.clear();
    return identity;
}

tarn::Bytes SimParameters::valueAt(int index) const {
    const tarn::ByteView value = stored(index);
    if (!clockRuns_ || std::find(upTimeRecords_.begin(), upTimeRecords_.end(), index) == upTimeRecords_.end())
        return tarn::Bytes(value.begin(), value.end());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - upTimeFrom_).count();
    tarn::Bytes now;
    tarn::appendU32(now, tarn::readU32(value.data(), order_) + static_cast<std::uint32_t>(seconds), order_);
    return now;
}

std::size_t SimParameters::offsetOf(int index) const {
    std::size_t at = 0;
    for (int j = 0; j < index; ++j) at += static_cast<std::size_t>(set_->records[static_cast<std::size_t>(j)].size);
    return at;
}

tarn::ByteView SimParameters::stored(int index) const {
    return tarn::ByteView(values_).subspan(
        offsetOf(index), static_cast<std::size_t>(set_->records[static_cast<std::size_t>(index)].size));
}

void SimParameters::store(int index, tarn::ByteView value) {
    std::copy(value.begin(), value.end(), values_.begin() + static_cast<std::ptrdiff_t>(offsetOf(index)));
}

bool SimParameters::encodeInto(int index, const std::string& text) {
    const tarn::ParameterRecord& r = set_->records[static_cast<std::size_t>(index)];
    auto bytes = tarn::EncodeValue(r, text, order_);
    if (!bytes || bytes->size() != static_cast<std::size_t>(r.size)) return false;
    store(index, *bytes);
    return true;
}

bool SimParameters::setText(const std::string& key, const std::string& text, std::string* error) {
    std::vector<int> named;
    if (const int byId = tarn::FindRecordById(*set_, key); byId >= 0) {
        named.push_back(byId);
    } else {
        for (int i = 0; i < set_->recordCount(); ++i)
            if (set_->records[static_cast<std::size_t>(i)].name == key) named.push_back(i);
    }
    if (named.empty()) {
        *error = "no parameter is named \"" + key + "\"";
        return false;
    }
    for (int i : named) {
        if (!encodeInto(i, text)) {
            *error = "\"" + text + "\" is not a value of parameter \"" + key + "\" (" +
                     set_->records[static_cast<std::size_t>(i)].type + ")";
            return false;
        }
    }
    return true;
}

std::optional<tarn::Bytes> SimParameters::read(const std::string& id) const {
    if (isBlockId(id)) {
        const auto [first, last] = tarn::FindClassRange(*set_, id);
        if (first < 0) return std::nullopt;
        // The records of a class lie one after the other: the block is their bytes, in one pass, with
        // the running up times put in.
        const std::size_t begin = offsetOf(first);
        std::size_t end = begin;
        for (int j = first; j <= last; ++j)
            end += static_cast<std::size_t>(set_->records[static_cast<std::size_t>(j)].size);
        tarn::Bytes block(values_.begin() + static_cast<std::ptrdiff_t>(begin),
                          values_.begin() + static_cast<std::ptrdiff_t>(end));
        for (int j : upTimeRecords_) {
            if (j < first || j > last) continue;
            const tarn::Bytes now = valueAt(j);
            std::copy(now.begin(), now.end(), block.begin() + static_cast<std::ptrdiff_t>(offsetOf(j) - begin));
        }
        return block;
    }
    const int index = tarn::FindRecordById(*set_, id);
    if (index < 0) return std::nullopt;
    return valueAt(index);
}

bool SimParameters::write(const std::string& id, tarn::ByteView value) {
    const int index = tarn::FindRecordById(*set_, id);
    if (index < 0) return false;
    const tarn::ParameterRecord& r = set_->records[static_cast<std::size_t>(index)];
    if (r.accessMode == tarn::AccessMode::ReadOnly || r.accessMode == tarn::AccessMode::Hidden) return false;
    if (value.size() != static_cast<std::size_t>(r.size)) return false;
    store(index, value);
    return true;
}

std::string SimParameters::text(const std::string& id) const {
    const int index = tarn::FindRecordById(*set_, id);
    if (index < 0) return {};
    return tarn::FormatValue(set_->records[static_cast<std::size_t>(index)], valueAt(index), order_);
}

}  // namespace tarnsim
