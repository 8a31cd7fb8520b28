#include "core/common/token_reader.h"

#include <climits>

namespace tarn {

std::string_view TokenReader::token() {
    skipSpace();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !isBlankChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
}

std::string_view TokenReader::peekToken() {
    const std::size_t saved = pos_;
    const std::string_view t = token();
    pos_ = saved;
    return t;
}

bool TokenReader::literal(std::string_view phrase) {
    const std::size_t saved = pos_;
    skipSpace();
    for (char c : phrase) {
        if (c == ' ') {
            skipSpace();
            continue;
        }
        if (pos_ >= text_.size() || text_[pos_] != c) {
            pos_ = saved;
            return false;
        }
        ++pos_;
    }
    return true;
}

std::optional<long long> TokenReader::integer(int maxDigits) {
    const std::size_t saved = pos_;
    skipSpace();
    int width = 0;
    bool negative = false;
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
        negative = text_[pos_] == '-';
        ++pos_;
        ++width;
    }
    long long value = 0;
    int digits = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9' && (maxDigits == 0 || width < maxDigits)) {
        const int d = text_[pos_] - '0';
        value = value > (LLONG_MAX - d) / 10 ? LLONG_MAX : value * 10 + d;
        ++pos_;
        ++digits;
        ++width;
    }
    if (digits == 0) {
        pos_ = saved;
        return std::nullopt;
    }
    return negative ? -value : value;
}

int TokenReader::lineAt(std::size_t pos) const {
    int line = 1;
    for (std::size_t i = 0; i < pos && i < text_.size(); ++i) {
        if (text_[i] == '\n') ++line;
    }
    return line;
}

}  // namespace tarn
