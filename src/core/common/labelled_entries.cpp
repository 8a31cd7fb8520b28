#include "core/common/labelled_entries.h"

#include "core/common/token_reader.h"

namespace tarn {

LabelledEntries visitLabelledEntries(std::string_view text, const std::vector<std::string_view>& labels, int maxEntries,
                                     std::size_t maxTokenLength, const LabelledEntryTaker& take) {
    LabelledEntries result;
    TokenReader reader(text);
    auto stopAt = [&](TableStop why, std::size_t offset) {
        result.stop = why;
        result.stopOffset = offset;
        reader.setPosition(offset);
        reader.skipSpace();
        result.stopLine = reader.line();
    };
    std::vector<std::string_view> tokens(labels.size());
    for (int taken = 0;; ++taken) {
        if (reader.atEnd()) {
            result.stopOffset = text.size();
            return result;
        }
        const std::size_t entryStart = reader.position();
        if (taken >= maxEntries) {
            stopAt(TableStop::TooManyEntries, entryStart);
            return result;
        }
        if (!reader.literal("[") || !reader.integer() || !reader.literal("]")) {
            stopAt(TableStop::Malformed, entryStart);
            return result;
        }
        for (std::size_t i = 0; i < labels.size(); ++i) {
            if (!reader.literal(labels[i]) || !reader.literal(":")) {
                stopAt(TableStop::Malformed, entryStart);
                return result;
            }
            tokens[i] = reader.token();
            if (tokens[i].empty()) {
                stopAt(TableStop::Malformed, entryStart);
                return result;
            }
            if (tokens[i].size() > maxTokenLength) {
                stopAt(TableStop::TokenTooLong, entryStart);
                return result;
            }
        }
        if (!take(tokens)) {
            stopAt(TableStop::TokenTooLong, entryStart);
            return result;
        }
    }
}

LabelledEntries readLabelledEntries(std::string_view text, const std::vector<std::string_view>& labels, int maxEntries,
                                    std::size_t maxTokenLength) {
    std::vector<std::vector<std::string>> entries;
    LabelledEntries result =
        visitLabelledEntries(text, labels, maxEntries, maxTokenLength, [&entries](std::span<const std::string_view> t) {
            entries.emplace_back(t.begin(), t.end());
            return true;
        });
    result.entries = std::move(entries);
    return result;
}

}  // namespace tarn
