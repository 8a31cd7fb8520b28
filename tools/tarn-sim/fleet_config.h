// The fleet file of tarn-sim: a JSON document describing each simulated device and its fault knobs.
// See docs/simulator.md for the format.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QJsonObject>
#include <QString>

#include "core/discovery/management_message.h"

namespace tarnsim {

struct ProbeFaults {
    bool badChecksum = false;     // the probe reply carries a wrong checksum
    bool duplicateReply = false;  // every probe is answered twice
    int nameCutAt = -1;           // a 00 byte replaces the name byte at this index (length unchanged)
    int replyDelayMs = 0;         // the probe reply is sent this long after the probe
};

// Knobs of the management replies (get, set, reboot); the probe has its own above.
struct ManagementFaults {
    bool badChecksum = false;       // every reply carries a wrong checksum
    bool lengthOverrun = false;     // a values reply's length field reaches past the datagram's end
    int replyDelayMs = 0;           // replies are sent this long after the request
    bool duplicateReplies = false;  // every reply is sent twice
    bool staleReply = false;        // each reply is preceded by one carrying the previous request's id
    int dropRequests = 0;           // the first n well-formed requests get no answer (a lost datagram)
    int refuseSets = 0;             // the first n set requests are refused (C0) whatever they carry
    int requestBuffer = 0;          // a request longer than this many bytes is lost (0: any length)
    // A forger at this loopback address answers each request first, with the request's id and the
    // command's own reply code: a get with the name "EVIL-5" and the address 10.66.66.66, a set or
    // reboot as done (0: none).
    quint32 forgedFrom = 0;
};

struct SimDeviceConfig {
    std::string name;
    tarn::MacAddress mac{};
    int productId = 74;  // any byte; 74..76 are the products the manager knows
    int major = 1;
    int minor = 0;
    bool macForm = false;    // answer in the DB form
    int addressingKind = 2;  // byte 10 of a DB-form reply
    QString address;         // loopback address the device answers from, e.g. 127.0.0.2
    bool io = true;          // serve the I/O link ("io": false leaves it out, for large fleets)
    ProbeFaults probeFaults;
    std::string user = "admin";  // the credentials the device accepts at start
    std::string password = "admin";
    // "params": parameter name or id -> value text, overriding the defaults; checked against the
    // device's definitions when the fleet starts.
    std::vector<std::pair<std::string, std::string>> params;
    ManagementFaults managementFaults;
    QJsonObject raw;  // the device's whole entry, for the parts of the simulator that read more of it
};

struct FleetConfig {
    std::vector<SimDeviceConfig> devices;
    bool fixedClock = false;  // up times stand still (tarn-sim --fixed-clock), for runs that compare two reads
};

// An entry with "count": N (1..65536) stands for N devices: the k-th (from 0) is named "<name>-<k+1>"
// and has the entry's address and MAC each increased by k.
constexpr int kMaxEntryCount = 65536;

// The largest fleet file read, so that a wrong or endless file cannot take the memory: far more than
// any fleet needs, since an entry with "count" stands for up to 65,536 devices.
constexpr qint64 kMaxFleetFileSize = 16 << 20;

// Reads a fleet file; on failure returns nothing and sets *error to one line naming the problem
// (a file larger than kMaxFleetFileSize is refused before it is read whole).
std::optional<FleetConfig> loadFleet(const QString& path, QString* error);
std::optional<FleetConfig> parseFleet(const QByteArray& json, QString* error);

}  // namespace tarnsim
