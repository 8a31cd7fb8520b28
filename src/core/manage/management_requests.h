// The bodies of the get, set and reboot requests, and where a get or a set is split into several
// datagrams.
//
//   whole-device get   01 00 00 00                       id "0", value length 0
//   group get          k p1..pk 00 00, one per record    from the group's start + continuation
//   set                k p1..pk LL LL v1..vn, per marked row, from row 0
//   reboot             00 00 00
//
// A get or set body ends after the entry that takes the datagram (head and body, checksum not
// counted) past kSplitThreshold bytes when more entries follow; the next datagram starts there.
// Every datagram carries at least one entry, however long the ID and password are, and a set sends
// no datagram for rows it does not carry. No request is longer than a device's buffer
// (kRequestBufferSize): credentials that leave no room for an entry are refused before anything goes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/bytes.h"
#include "core/params/definition_set.h"
#include "core/params/parameter_table.h"

namespace tarn {

constexpr std::size_t kSplitThreshold = 520;
constexpr std::size_t kRequestBufferSize = 600;
constexpr std::size_t kChecksumSize = 2;

// Bytes of the envelope in front of the body: signature (4, or 11 in the MAC-addressed form), the
// two credentials with their length bytes, length, request id and command.
std::size_t requestHeadSize(bool macForm, const std::string& id, const std::string& password);

Bytes wholeDeviceGetBody();
Bytes rebootBody();

struct GetPart {
    Bytes body;
    int continuation = 0;  // offset from the group's first record of the next part; 0 when complete
};

// The part of a group get that starts `continuation` records into group g.
GetPart groupGetBody(const DefinitionSet& set, int group, int continuation, std::size_t headSize);

// A row a set sends, and its value as the device will show it once it has taken it.
struct SentValue {
    int row = -1;
    std::string shown;
};

struct SetPart {
    Bytes body;
    int continuation = 0;                    // first row of the next part; 0 when complete
    std::vector<SentValue> values;           // the rows in the body
    std::optional<std::string> newId;        // the device's own user ID, when the set carries it
    std::optional<std::string> newPassword;  // the device's own password, likewise
};

// A marked row whose value a set cannot send, and what its parameter takes ("at most 65535").
struct RefusedValue {
    int row = -1;
    std::string name;
    std::string limit;
};

// The marked rows a set sends (from row 0 up to the first row that stands for no record), each
// checked before anything is sent: writable, and its text encodes exactly.
std::vector<RefusedValue> checkMarkedRows(const ParameterTable& table, ByteOrder order);
// The one message that lists them: a line per row, "Local port: at most 65535".
std::string refusedValuesText(const std::vector<RefusedValue>& refused);

// The marked rows of the table from row 0, up to the first row that stands for no record. Rows
// whose value does not encode are left out (checkMarkedRows finds them first).
SetPart setBody(const ParameterTable& table, ByteOrder order, std::size_t headSize);

// The largest entry (id, length and value bytes) of the requests: a get of the group (0: the whole
// device), the set of the table's marked rows, a reboot.
std::size_t largestGetEntry(const DefinitionSet* set, int group);
std::size_t largestSetEntry(const ParameterTable& table, ByteOrder order);
std::size_t rebootEntrySize();
// A request with this head has room for the entry inside a device's buffer.
constexpr bool requestHasRoom(std::size_t headSize, std::size_t largestEntry) {
    return headSize + largestEntry + kChecksumSize <= kRequestBufferSize;
}
// What the operator is told when it has not; nothing is sent to the device.
std::string credentialsLeaveNoRoomText(const std::string& deviceName);

// Ids of class 2 ending in ".1" and ".2" are the device's own user ID and password.
bool isOwnUserIdRecord(const std::string& id);
bool isOwnPasswordRecord(const std::string& id);
// The device's own password never shows by default: the list and `tarnctl params get` show this
// instead (the same for every length) unless the operator asks to see it.
inline constexpr std::string_view kHiddenPasswordText = "\xB7\xB7\xB7\xB7\xB7\xB7\xB7\xB7";
// Row `row` of the table holds the device's own password.
bool holdsOwnPassword(const ParameterTable& table, int row);
// The text a list shows for the value of row `row`.
std::string shownValue(const ParameterTable& table, int row, bool showPasswords);
// The same for another text of that row (what a preview shows it would become, or was): masked
// when the row holds the device's own password, unless the operator asks to see it.
std::string shownText(const ParameterTable& table, int row, const std::string& text, bool showPasswords);

// A values entry that holds a whole block: "0" (the whole device) or "<class>.0".
bool isClassBlock(const std::string& id);

}  // namespace tarn
