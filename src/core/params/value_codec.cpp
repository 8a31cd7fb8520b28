#include "core/params/value_codec.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/common/text.h"

namespace tarn {

namespace {

constexpr const char* kUnknownFlagText = "Unknown";
constexpr const char* kCannotBeSet = "cannot be set";
constexpr std::uint32_t kQuietNan = 0x7FC00000u;
constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr std::uint32_t kMantissaMask = 0x007FFFFFu;
constexpr std::uint32_t kExponentMask = 0x7F800000u;

// Bytes the fixed-width types take; 0 for the types whose width is the record's size or nothing.
int fixedWidth(ValueType type) {
    switch (type) {
        case ValueType::Char:
        case ValueType::UnsignedChar:
            return 1;
        case ValueType::Int:
        case ValueType::UnsignedInt:
            return 2;
        case ValueType::Long:
        case ValueType::UnsignedLong:
        case ValueType::Float:
        case ValueType::Ip:
            return 4;
        case ValueType::Mac:
            return 6;
        default:
            return 0;
    }
}

std::uint32_t readNumber(ByteView value, int width, ByteOrder order) {
    switch (width) {
        case 1:
            return value[0];
        case 2:
            return readU16(value.data(), order);
        case 4:
            return readU32(value.data(), order);
        default:
            return 0;
    }
}

void appendNumber(Bytes& out, std::uint32_t number, int width, ByteOrder order) {
    if (width == 1) out.push_back(static_cast<std::uint8_t>(number));
    if (width == 2) appendU16(out, static_cast<std::uint16_t>(number), order);
    if (width == 4) appendU32(out, number, order);
}

const DefinedValue* findDefinedValue(const ParameterRecord& record, ValueType type, std::uint32_t number) {
    for (const DefinedValue& dv : record.definedValues) {
        const auto raw = static_cast<std::uint32_t>(dv.value);
        bool match = false;
        switch (type) {
            case ValueType::Char:
                // The byte (0..255) against the defined value's low byte read as -128..127.
                match = static_cast<std::int32_t>(number) == static_cast<std::int8_t>(raw & 0xFF);
                break;
            case ValueType::UnsignedChar:
                match = number == (raw & 0xFF);
                break;
            case ValueType::Int:
            case ValueType::UnsignedInt:
                match = static_cast<std::int32_t>(number) == dv.value;
                break;
            default:
                match = number == raw;
                break;
        }
        if (match) return &dv;
    }
    return nullptr;
}

// Unit handling. The list shows "value  unit"; the operator may also type "100ms" or "100 ms".
struct UnitForms {
    std::string shown;    // the text without an exact "  unit" suffix
    std::string lenient;  // additionally without a trailing unit typed by hand (for numbers)
    bool exactSuffix = false;
};

void trimTrailingBlanks(std::string& text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
}

UnitForms unitForms(const std::string& text, const std::string& unit) {
    UnitForms forms{text, text, false};
    if (unit.empty()) return forms;
    const std::string suffix = "  " + unit;
    if (text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
        forms.shown = forms.lenient = text.substr(0, text.size() - suffix.size());
        forms.exactSuffix = true;
        return forms;
    }
    // A unit that begins with a digit could eat digits of the number; only take such units exactly.
    if (std::isdigit(static_cast<unsigned char>(unit[0]))) return forms;
    std::string t = text;
    trimTrailingBlanks(t);
    if (t.size() >= unit.size() && t.compare(t.size() - unit.size(), unit.size(), unit) == 0) {
        t.resize(t.size() - unit.size());
        trimTrailingBlanks(t);
        forms.lenient = t;
    }
    return forms;
}

std::string withoutBlanks(std::string text) {
    std::erase(text, ' ');
    return text;
}

std::string trimmedBlanks(std::string text) {
    trimTrailingBlanks(text);
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::uint32_t widthMask(int width) { return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string formatIp(ByteView v, ByteOrder order) {
    char buf[32];
    if (order == ByteOrder::Big)
        std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
    else
        std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", v[3], v[2], v[1], v[0]);
    return buf;
}

// Exactly "a.b.c.d", four decimal numbers of 0 to 255.
std::optional<Bytes> encodeIp(const std::string& text, ByteOrder order) {
    std::uint8_t parts[4] = {0, 0, 0, 0};
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.') return std::nullopt;
            ++i;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[i++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255) return std::nullopt;
        parts[part] = static_cast<std::uint8_t>(value);
    }
    if (i != text.size()) return std::nullopt;
    if (order == ByteOrder::Big) return Bytes{parts[0], parts[1], parts[2], parts[3]};
    return Bytes{parts[3], parts[2], parts[1], parts[0]};
}

std::string formatMac(ByteView v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02x-%02x-%02x-%02x-%02x-%02x", v[0], v[1], v[2], v[3], v[4], v[5]);
    return buf;
}

// Six hexadecimal numbers of one or two digits, separated by "-" or ":".
std::optional<Bytes> encodeMac(const std::string& text) {
    Bytes out(6, 0);
    std::size_t i = 0;
    for (int part = 0; part < 6; ++part) {
        if (part > 0) {
            if (i >= text.size() || (text[i] != '-' && text[i] != ':')) return std::nullopt;
            ++i;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])) && digits < 3) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
            value = value << 4 | static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
            ++digits;
        }
        if (digits == 0 || digits > 2) return std::nullopt;
        out[static_cast<std::size_t>(part)] = static_cast<std::uint8_t>(value);
    }
    if (i != text.size()) return std::nullopt;
    return out;
}

// A whole decimal integer (an optional sign, then digits only), or nothing.
std::optional<long long> wholeInteger(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
        if (value < (1LL << 40)) value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

// Significant digits of a decimal text (leading zeros not counted, trailing ones counted: "1.000000"
// asks for seven digits).
int significantDigits(std::string_view text) {
    int digits = 0;
    bool leading = true;
    for (char c : text) {
        if (c == 'e' || c == 'E') break;
        if (!std::isdigit(static_cast<unsigned char>(c))) continue;
        if (leading && c == '0') continue;
        leading = false;
        ++digits;
    }
    return digits;
}

std::string roundedText(double value, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", std::max(digits - 1, 0), value);
    return buf;
}

// A whole, finite floating-point text whose value single precision holds, as its bits; or nothing.
// The number must come back from the 4 bytes to every digit the text gives: "0.1" and "16777216"
// do, "16777217" (which would become 16777216) and "3.14159265358979" do not.
std::optional<std::uint32_t> exactFloat(std::string_view text, bool* lost) {
    *lost = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    if (begin == end || !(std::isdigit(static_cast<unsigned char>(*begin)) || *begin == '.')) return std::nullopt;
    double wide = 0;
    const auto parsed = std::from_chars(begin, end, wide, std::chars_format::general);
    if (parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(wide)) return std::nullopt;
    if (text[0] == '-') wide = -wide;
    const auto narrow = static_cast<float>(wide);
    if (!std::isfinite(narrow)) return std::nullopt;
    const int digits = std::min(significantDigits(text), 17);
    if (digits > 0 && roundedText(narrow, digits) != roundedText(wide, digits)) {
        *lost = true;
        return std::nullopt;
    }
    return std::bit_cast<std::uint32_t>(narrow);
}

// Text records hold one Latin-1 character per byte, as the list shows them. A character of the
// operator's text beyond Latin-1 arrives as kNotLatin1 (latin1Bytes), never as a look-alike "?".
std::optional<std::string> textProblem(const std::string& text) {
    if (text.find(kNotLatin1) != std::string::npos) return "characters outside Latin-1 cannot be stored";
    if (holdsControlCharacter(text)) return "a tab, a line end or another control character cannot be stored";
    return std::nullopt;
}

struct IntegerRange {
    long long min;
    long long max;
};

IntegerRange integerRange(ValueType type) {
    switch (type) {
        case ValueType::Char:
        case ValueType::UnsignedChar:
            return {0, 255};
        case ValueType::Int:
        case ValueType::UnsignedInt:
            return {0, 65535};
        case ValueType::Long:
            return {INT32_MIN, INT32_MAX};
        default:
            return {0, UINT32_MAX};
    }
}

std::string joinedTexts(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : ", ") + t;
    return out;
}

}  // namespace

ValueType valueTypeOf(const std::string& keyword) {
    if (keyword == "char") return ValueType::Char;
    if (keyword == "unsigned char") return ValueType::UnsignedChar;
    if (keyword == "int") return ValueType::Int;
    if (keyword == "unsigned int") return ValueType::UnsignedInt;
    if (keyword == "long") return ValueType::Long;
    if (keyword == "unsigned long") return ValueType::UnsignedLong;
    if (keyword == "float") return ValueType::Float;
    if (keyword == "IP") return ValueType::Ip;
    if (keyword == "MAC") return ValueType::Mac;
    if (keyword == "FLAG") return ValueType::Flag;
    if (keyword == "*char" || keyword == "unsigned *char") return ValueType::Text;
    if (keyword == "*int" || keyword == "unsigned *int" || keyword == "*long" || keyword == "unsigned *long" ||
        keyword == "*float")
        return ValueType::Pointer;
    return ValueType::Other;
}

std::string formatFloatBits(std::uint32_t bits) {
    const bool negative = (bits & kSignBit) != 0;
    if ((bits & kExponentMask) == kExponentMask) {
        const std::uint32_t mantissa = bits & kMantissaMask;
        if (mantissa == 0) return negative ? "-inf" : "inf";
        if (mantissa == (kQuietNan & kMantissaMask)) return negative ? "-nan" : "nan";
        char buf[32];
        std::snprintf(buf, sizeof buf, "%snan(0x%x)", negative ? "-" : "", static_cast<unsigned>(mantissa));
        return buf;
    }
    const float value = std::bit_cast<float>(bits);
    char buf[64];
    // "%f" (locale-independent), kept whenever it reads back to the same number.
    auto fixed = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    if (fixed.ec == std::errc()) {
        std::string text(buf, fixed.ptr);
        if (parseFloatText(text) == bits) return text;
    }
    auto shortest = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, shortest.ptr);
}

std::uint32_t parseFloatText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::uint32_t sign = negative ? kSignBit : 0;
    const std::string rest = lower(std::string_view(text).substr(i));
    if (rest.starts_with("nan")) {
        std::uint32_t mantissa = kQuietNan & kMantissaMask;
        if (rest.starts_with("nan(0x")) {
            unsigned long long payload = 0;
            const char* begin = rest.data() + 6;
            const auto parsed = std::from_chars(begin, rest.data() + rest.size(), payload, 16);
            if (parsed.ec == std::errc() && payload != 0 && payload <= kMantissaMask)
                mantissa = static_cast<std::uint32_t>(payload);
        }
        return sign | kExponentMask | mantissa;
    }
    if (rest.starts_with("inf")) return sign | kExponentMask;
    const char* begin = rest.data();
    const char* end = rest.data() + rest.size();
    float value = 0;
    const auto parsed = std::from_chars(begin, end, value, std::chars_format::general);
    if (parsed.ec == std::errc()) return sign | std::bit_cast<std::uint32_t>(value);
    if (parsed.ec == std::errc::result_out_of_range) {
        // Too large reads as infinity, too small as zero, as the C library's reading does.
        double wide = 0;
        const auto again = std::from_chars(begin, end, wide, std::chars_format::general);
        bool tiny = false;
        if (again.ec == std::errc())
            tiny = std::fabs(wide) < 1.0;
        else
            tiny = rest.find("e-") != std::string::npos;
        return sign | (tiny ? 0u : kExponentMask);
    }
    return 0;  // not a number
}

std::string FormatValue(const ParameterRecord& record, ByteView value, ByteOrder order) {
    const ValueType type = valueTypeOf(record.type);
    const int width = fixedWidth(type);
    std::string text;
    if (width > 0 && value.size() < static_cast<std::size_t>(width)) {
        text.clear();
    } else {
        switch (type) {
            case ValueType::Char:
            case ValueType::UnsignedChar:
            case ValueType::Int:
            case ValueType::UnsignedInt:
            case ValueType::Long:
            case ValueType::UnsignedLong: {
                const std::uint32_t number = readNumber(value, width, order);
                if (const DefinedValue* dv = findDefinedValue(record, type, number)) {
                    text = dv->text;
                } else if (type == ValueType::Long) {
                    text = std::to_string(static_cast<std::int32_t>(number));
                } else {
                    text = std::to_string(number);
                }
                break;
            }
            case ValueType::Float:
                text = formatFloatBits(readU32(value.data(), order));
                break;
            case ValueType::Ip:
                text = formatIp(value, order);
                break;
            case ValueType::Mac:
                text = formatMac(value);
                break;
            case ValueType::Flag: {
                const int size = record.size;
                const std::uint32_t number =
                    (size == 1 || size == 2 || size == 4) && value.size() >= static_cast<std::size_t>(size)
                        ? readNumber(value, size, order)
                        : 0;
                text = kUnknownFlagText;
                for (const EnumerationEntry& e : record.enumeration) {
                    if (static_cast<std::uint32_t>(e.key) == number) {
                        text = e.text;
                        break;
                    }
                }
                break;
            }
            case ValueType::Text: {
                const std::size_t limit = std::min(value.size(), static_cast<std::size_t>(std::max(record.size, 0)));
                std::size_t n = 0;
                while (n < limit && value[n] != 0) ++n;
                if (n > 0) text.assign(reinterpret_cast<const char*>(value.data()), n);
                break;
            }
            default:
                break;
        }
    }
    if (!record.unit.empty()) text += "  " + record.unit;
    return text;
}

std::optional<Bytes> EncodeValue(const ParameterRecord& record, const std::string& text, ByteOrder order,
                                 std::string* limit) {
    auto refuse = [limit](std::string why) -> std::optional<Bytes> {
        if (limit) *limit = std::move(why);
        return std::nullopt;
    };
    const ValueType type = valueTypeOf(record.type);
    const int width = fixedWidth(type);
    if (width > 0 && record.size != width) return refuse(kCannotBeSet);
    const UnitForms forms = unitForms(text, record.unit);
    // Lookup texts: the cell as it is, without the shown unit, without a typed unit.
    const std::string candidates[3] = {text, forms.shown, forms.lenient};
    // A removed unit takes every blank with it; otherwise only blanks around the value go.
    const std::string numberText =
        forms.exactSuffix || forms.lenient != text ? withoutBlanks(forms.lenient) : trimmedBlanks(forms.lenient);
    Bytes out;
    switch (type) {
        case ValueType::Char:
        case ValueType::UnsignedChar:
        case ValueType::Int:
        case ValueType::UnsignedInt:
        case ValueType::Long:
        case ValueType::UnsignedLong: {
            // A defined value's name, when the device shows that number by that name again.
            std::vector<std::string> names;
            for (const DefinedValue& dv : record.definedValues) {
                const std::uint32_t number = static_cast<std::uint32_t>(dv.value) & widthMask(width);
                const DefinedValue* shown = findDefinedValue(record, type, number);
                if (!shown || shown->text != dv.text) continue;
                names.push_back(dv.text);
                for (const std::string& candidate : candidates) {
                    if (dv.text == candidate) {
                        appendNumber(out, number, width, order);
                        return out;
                    }
                }
            }
            const IntegerRange range = integerRange(type);
            const auto number = wholeInteger(numberText);
            if (number && *number > range.max) return refuse("at most " + std::to_string(range.max));
            if (number && *number < range.min) return refuse("at least " + std::to_string(range.min));
            if (!number) {
                std::string why =
                    "a whole number from " + std::to_string(range.min) + " to " + std::to_string(range.max);
                if (!names.empty()) why += " or one of: " + joinedTexts(names);
                return refuse(why);
            }
            appendNumber(out, static_cast<std::uint32_t>(static_cast<std::uint64_t>(*number) & 0xFFFFFFFFu), width,
                         order);
            return out;
        }
        case ValueType::Float: {
            bool lost = false;
            const auto bits = exactFloat(numberText, &lost);
            if (lost) return refuse("a number a 4-byte float holds exactly to the digits given");
            if (!bits) return refuse("a finite number");
            appendU32(out, *bits, order);
            return out;
        }
        case ValueType::Ip: {
            auto bytes = encodeIp(numberText, order);
            if (!bytes) return refuse("four numbers from 0 to 255 separated by \".\"");
            return bytes;
        }
        case ValueType::Mac: {
            auto bytes = encodeMac(numberText);
            if (!bytes) return refuse("six hexadecimal bytes separated by \"-\"");
            return bytes;
        }
        case ValueType::Flag: {
            if (record.size != 1 && record.size != 2 && record.size != 4) return refuse(kCannotBeSet);
            std::vector<std::string> texts;
            for (const std::string& candidate : candidates) {
                for (const EnumerationEntry& e : record.enumeration) {
                    if (e.text == candidate) {
                        appendNumber(out, static_cast<std::uint32_t>(e.key), record.size, order);
                        return out;
                    }
                }
            }
            for (const EnumerationEntry& e : record.enumeration) texts.push_back(e.text);
            if (texts.empty()) return refuse(kCannotBeSet);
            return refuse("one of: " + joinedTexts(texts));
        }
        case ValueType::Text: {
            const auto size = static_cast<std::size_t>(std::max(record.size, 0));
            // The device keeps the bytes up to the first zero byte, and no more than its size.
            if (forms.shown.find('\0') != std::string::npos) return refuse("no zero byte");
            if (const auto problem = textProblem(forms.shown)) return refuse(*problem);
            if (forms.shown.size() > size) return refuse("at most " + std::to_string(size) + " characters");
            out.assign(size, 0);
            std::copy(forms.shown.begin(), forms.shown.end(), out.begin());
            return out;
        }
        default:
            return refuse(kCannotBeSet);
    }
}

}  // namespace tarn
