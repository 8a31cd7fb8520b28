#include "core/common/text.h"

#include <cctype>
#include <cstdint>

namespace tarn {

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    if (from.empty()) return text;
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

std::string toUpperAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

long long parseLeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value < (1LL << 40)) value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::string escapeControlCharactersByLine(std::string_view text) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1)
        out += escapeControlCharacters(text.substr(start, end - start)) + '\n';
    return out + escapeControlCharacters(text.substr(start));
}

bool holdsControlCharacter(std::string_view text) {
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && c != kNotLatin1) || b == 0x7F) return true;
    }
    return false;
}

std::string escapeControlCharacters(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (b < 0x20 || (b >= 0x7F && b < 0xA0)) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::string quotedForMessage(std::string_view text) {
    constexpr std::size_t kLongest = 60;
    if (text.size() <= kLongest) return "'" + escapeControlCharacters(text) + "'";
    return "'" + escapeControlCharacters(text.substr(0, kLongest)) + "...' (" + std::to_string(text.size()) +
           " characters)";
}

// Greedy matching with one back-tracking point: on a mismatch the last '*' takes one more byte.
bool matchesGlob(std::string_view pattern, std::string_view text, bool ignoreCase) {
    const auto fold = [ignoreCase](char c) {
        return ignoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    std::size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(text[t]))) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> utf8ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        // The sequence length by its first byte; overlong forms and surrogates are refused.
        const int length = b < 0x80                ? 1
                           : b >= 0xC2 && b < 0xE0 ? 2
                           : b >= 0xE0 && b < 0xF0 ? 3
                           : b >= 0xF0 && b < 0xF5 ? 4
                                                   : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > utf8.size()) return std::nullopt;
        std::uint32_t code = length == 1 ? b : b & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
            return std::nullopt;
        out += code <= 0xFF ? static_cast<char>(code) : kNotLatin1;
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string groupedNumber(long long n) {
    const std::string digits =
        std::to_string(n < 0 ? -static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n));
    std::string out = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace tarn
