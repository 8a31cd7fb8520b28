// The parameter values one simulated device keeps: one byte run per record of its definition set,
// exactly the record's size, with defaults drawn from the device's own identity, so that a demo
// fleet looks like real devices (serial numbers, up times, scale factors, serial line settings).
// The "Up time" record counts the seconds since the device started, or was last rebooted. Values are read and
// written as the management requests carry them: single records by id, class blocks ("0", "3.0")
// as the concatenation of their records.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/common/bytes.h"
#include "core/discovery/management_message.h"
#include "core/params/definition_set.h"

namespace tarnsim {

// What the defaults are made of.
struct DeviceIdentity {
    std::string name;
    std::string address;  // dotted IPv4
    int localPort = 0;    // TCP port of the device's I/O server
    tarn::MacAddress mac{};
    std::string user;
    std::string password;
    int major = 1;
    int minor = 0;
};

// 1 for the device's own user ID record (id "2.*.1"), 2 for its password ("2.*.2"), 0 otherwise.
int credentialRecordKind(const std::string& id);

// What a device calls itself in its probe reply and where it answers, as it takes them when it
// starts: its "Device name" and "IP address" records. No address while "IP mode" is DHCP (the
// device keeps the one it has) or when it has no such record.
struct StartupIdentity {
    std::string name;
    std::string address;
};

class SimParameters {
public:
    SimParameters(std::shared_ptr<const tarn::DefinitionSet> set, tarn::ByteOrder order,
                  const DeviceIdentity& identity);

    // Sets the records named by `key` (a record id, or a parameter name as the list shows it: every
    // record of that name) from a value text. False, with *error, when nothing is named or the text
    // does not encode for a record.
    bool setText(const std::string& key, const std::string& text, std::string* error);

    // A record's value, or a class block's values one after the other; nothing for an unknown id.
    std::optional<tarn::Bytes> read(const std::string& id) const;
    // Stores a value received in a set request: only for a known, writable record and exactly its size.
    bool write(const std::string& id, tarn::ByteView value);

    // The value as the manager would show it.
    std::string text(const std::string& id) const;

    const tarn::DefinitionSet& definitions() const { return *set_; }
    tarn::ByteOrder order() const { return order_; }

    // The device restarts: its up time begins again at 0.
    void rebooted();
    StartupIdentity startupIdentity() const;
    // The up time stands still from now on (--fixed-clock): two reads of the device give the same bytes.
    void stopClock() { clockRuns_ = false; }

private:
    using Clock = std::chrono::steady_clock;

    bool encodeInto(int index, const std::string& text);
    // The record's value as the device would send it now.
    tarn::Bytes valueAt(int index) const;
    // Where record `index` starts in values_ (the records' sizes before it).
    std::size_t offsetOf(int index) const;
    // The record's bytes as stored.
    tarn::ByteView stored(int index) const;
    void store(int index, tarn::ByteView value);

    std::shared_ptr<const tarn::DefinitionSet> set_;
    tarn::ByteOrder order_;
    // Every record's value, one after the other in definition order: one allocation per device, so
    // that a fleet of a hundred thousand devices stays small.
    tarn::Bytes values_;
    // The up-time records hold the up time at upTimeFrom_; reading adds the seconds since.
    std::vector<int> upTimeRecords_;
    Clock::time_point upTimeFrom_ = Clock::now();
    bool clockRuns_ = true;
};

}  // namespace tarnsim
