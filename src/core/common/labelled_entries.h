// Reader for the program's small "ini" tables (prodid.ini, pwd.ini): a sequence of entries
//
//   [1]
//   Label1 : token
//   Label2 : token
//
// read token by token (white space is free). Reading stops at the end of the text, at the first
// entry that does not follow the pattern, at an over-long token or when the table is full; the
// entries before that point are kept and the caller learns where and why reading stopped.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

constexpr int kMaxTableEntries = 5000;
constexpr std::size_t kMaxTableTokenLength = 75;

enum class TableStop { EndOfText, Malformed, TooManyEntries, TokenTooLong };

struct LabelledEntries {
    std::vector<std::vector<std::string>> entries;  // one token per label, in label order
    TableStop stop = TableStop::EndOfText;
    std::size_t stopOffset = 0;  // start of the first entry not taken (the text's size at a clean end)
    int stopLine = 0;            // its line, for messages
};

LabelledEntries readLabelledEntries(std::string_view text, const std::vector<std::string_view>& labels,
                                    int maxEntries = kMaxTableEntries,
                                    std::size_t maxTokenLength = kMaxTableTokenLength);

// The same reading for tables too large to copy (pwd.ini of a large site): each entry goes to `take`
// as it is read, its tokens as views into the text; `take` returns false for an entry it cannot keep,
// and the reading stops there as at an over-long token. The result says where and why the reading
// stopped, and holds no entries.
using LabelledEntryTaker = std::function<bool(std::span<const std::string_view> tokens)>;
LabelledEntries visitLabelledEntries(std::string_view text, const std::vector<std::string_view>& labels, int maxEntries,
                                     std::size_t maxTokenLength, const LabelledEntryTaker& take);

}  // namespace tarn
