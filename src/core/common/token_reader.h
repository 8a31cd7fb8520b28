// Reads the program's text files token by token, in the manner of scanf patterns: white space between
// tokens is free, literal words must match, a token is a run of non-blank characters. Works on a
// buffer held in memory, never past its end.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tarn {

constexpr bool isBlankChar(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

class TokenReader {
public:
    explicit TokenReader(std::string_view text) : text_(text) {}

    void skipSpace() {
        while (pos_ < text_.size() && isBlankChar(text_[pos_])) ++pos_;
    }
    // True when only white space is left.
    bool atEnd() {
        skipSpace();
        return pos_ >= text_.size();
    }
    // The next run of non-blank characters ("%s"); empty at the end of the text.
    std::string_view token();
    // The next token without consuming it.
    std::string_view peekToken();
    // Matches a literal phrase after optional white space. A blank inside the phrase matches any
    // amount of white space, also none ("instance = 3" matches "instance=3"). On a mismatch nothing
    // is consumed.
    bool literal(std::string_view phrase);
    // A decimal integer ("%d", or "%2d" with maxDigits 2): optional sign, at least one digit.
    // Values beyond the range of long long saturate. On a mismatch nothing is consumed.
    std::optional<long long> integer(int maxDigits = 0);

    std::size_t position() const { return pos_; }
    void setPosition(std::size_t pos) { pos_ = pos < text_.size() ? pos : text_.size(); }
    std::string_view rest() const { return text_.substr(pos_); }
    // 1-based line number of a position, for messages.
    int lineAt(std::size_t pos) const;
    int line() const { return lineAt(pos_); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace tarn
