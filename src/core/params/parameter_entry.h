// Parameter entries in the body of management messages:
//
//   k  p1 .. pk  LL LL  v1 .. vn
//   k: number of id pieces; p: each "."-separated piece of the id as one byte (3.1.2 -> 03 03 01 02)
//   LL LL: value length n in device byte order; v: the value bytes (none in a get request)
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/common/bytes.h"
#include "core/params/definition_set.h"

namespace tarn {

// The id pieces, each read as a decimal number and kept to its low byte.
Bytes parameterIdPieces(const std::string& id);

// Appends k and the id pieces.
void appendParameterId(Bytes& out, const std::string& id);

// Appends a whole set-request entry for the record: id, value length and value bytes. When the text
// cannot be encoded (see EncodeValue) nothing at all is appended and the result is false, so the
// record is left out of the request instead of announcing bytes that do not follow.
bool appendParameterEntry(Bytes& out, const ParameterRecord& record, const std::string& text, ByteOrder order);

// The id text of received pieces: decimal pieces joined by ".".
std::string parameterIdText(ByteView pieces);

// One entry read from a message body; `value` points into the body it was read from.
struct ValueEntry {
    std::string id;
    ByteView value;
};

struct ValueEntries {
    std::vector<ValueEntry> entries;
    bool overrun = false;  // an entry claims more bytes than the body holds; reading stopped there
};

// Reads every entry of a body (get request, set request or values reply), strictly inside it.
ValueEntries readValueEntries(ByteView body, ByteOrder order);

// The value bytes of record `index` in a class block, its values starting `offset` bytes into the
// block; nothing when the record's size does not lie wholly inside the block.
std::optional<ByteView> blockValue(const DefinitionSet& set, int index, ByteView block, std::size_t offset);

// Appends one entry with the given value bytes (a reply record, or a set entry already encoded).
void appendValueEntry(Bytes& out, const std::string& id, ByteView value, ByteOrder order);

}  // namespace tarn
