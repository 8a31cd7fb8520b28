#include "core/common/labelled_entries.h"

#include "core/common/token_reader.h"

namespace tarn {

LabelledEntries readLabelledEntries(std::string_view text, const std::vector<std::string_view>& labels, int maxEntries,
                                    std::size_t maxTokenLength) {
    LabelledEntries result;
    TokenReader reader(text);
    auto stopAt = [&](TableStop why, std::size_t offset) {
        result.stop = why;
        result.stopOffset = offset;
        reader.setPosition(offset);
        reader.skipSpace();
        result.stopLine = reader.line();
    };
    while (true) {
        if (reader.atEnd()) {
            result.stopOffset = text.size();
            return result;
        }
        const std::size_t entryStart = reader.position();
        if (static_cast<int>(result.entries.size()) >= maxEntries) {
            stopAt(TableStop::TooManyEntries, entryStart);
            return result;
        }
        if (!reader.literal("[") || !reader.integer() || !reader.literal("]")) {
            stopAt(TableStop::Malformed, entryStart);
            return result;
        }
        std::vector<std::string> tokens;
        tokens.reserve(labels.size());
        for (const std::string_view label : labels) {
            if (!reader.literal(label) || !reader.literal(":")) {
                stopAt(TableStop::Malformed, entryStart);
                return result;
            }
            const std::string_view token = reader.token();
            if (token.empty()) {
                stopAt(TableStop::Malformed, entryStart);
                return result;
            }
            if (token.size() > maxTokenLength) {
                stopAt(TableStop::TokenTooLong, entryStart);
                return result;
            }
            tokens.emplace_back(token);
        }
        result.entries.push_back(std::move(tokens));
        result.entryOffsets.push_back(entryStart);
    }
}

}  // namespace tarn
