#include "core/params/parameter_entry.h"

#include <algorithm>

#include "core/common/text.h"
#include "core/params/value_codec.h"

namespace tarn {

Bytes parameterIdPieces(const std::string& id) {
    Bytes pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = id.find('.', start);
        const std::string_view piece =
            std::string_view(id).substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        pieces.push_back(static_cast<std::uint8_t>(parseLeadingInteger(piece) & 0xFF));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return pieces;
}

void appendParameterId(Bytes& out, const std::string& id) {
    const Bytes pieces = parameterIdPieces(id);
    out.push_back(static_cast<std::uint8_t>(pieces.size()));
    out.insert(out.end(), pieces.begin(), pieces.end());
}

bool appendParameterEntry(Bytes& out, const ParameterRecord& record, const std::string& text, ByteOrder order) {
    const auto value = EncodeValue(record, text, order);
    if (!value) return false;
    appendValueEntry(out, record.id, *value, order);
    return true;
}

std::string parameterIdText(ByteView pieces) {
    std::string text;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i) text += '.';
        text += std::to_string(pieces[i]);
    }
    return text;
}

ValueEntries readValueEntries(ByteView body, ByteOrder order) {
    ValueEntries out;
    std::size_t pos = 0;
    while (pos < body.size()) {
        const std::size_t k = body[pos];
        if (body.size() - pos < 1 + k + 2) {
            out.overrun = true;
            break;
        }
        const std::string id = parameterIdText(body.subspan(pos + 1, k));
        const std::size_t size = readU16(body.data() + pos + 1 + k, order);
        const std::size_t valueAt = pos + 1 + k + 2;
        if (body.size() - valueAt < size) {
            out.overrun = true;
            break;
        }
        out.entries.push_back({id, body.subspan(valueAt, size)});
        pos = valueAt + size;
    }
    return out;
}

void appendValueEntry(Bytes& out, const std::string& id, ByteView value, ByteOrder order) {
    appendParameterId(out, id);
    appendU16(out, static_cast<std::uint16_t>(value.size()), order);
    out.insert(out.end(), value.begin(), value.end());
}

std::optional<ByteView> blockValue(const DefinitionSet& set, int index, ByteView block, std::size_t offset) {
    if (index < 0 || index >= set.recordCount()) return std::nullopt;
    const auto size = static_cast<std::size_t>(std::max(set.records[static_cast<std::size_t>(index)].size, 0));
    if (offset > block.size() || block.size() - offset < size) return std::nullopt;
    return block.subspan(offset, size);
}

}  // namespace tarn
