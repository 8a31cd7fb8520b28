// Value bytes <-> value text for every type keyword, in both device byte orders.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

#include "core/common/text.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"

namespace tarn {
namespace {

constexpr ByteOrder kBig = ByteOrder::Big;
constexpr ByteOrder kLittle = ByteOrder::Little;

ParameterRecord record(const std::string& type, int size, const std::string& unit = "",
                       std::vector<DefinedValue> defined = {}, std::vector<EnumerationEntry> enumeration = {}) {
    ParameterRecord r;
    r.id = "3.1.2";
    r.type = type;
    r.size = size;
    r.unit = unit;
    r.isFlag = type == "FLAG";
    r.definedValues = std::move(defined);
    r.enumeration = std::move(enumeration);
    return r;
}

std::string show(const ParameterRecord& r, const Bytes& bytes, ByteOrder order = kBig) {
    return FormatValue(r, bytes, order);
}

Bytes encode(const ParameterRecord& r, const std::string& text, ByteOrder order = kBig) {
    return EncodeValue(r, text, order).value_or(Bytes{0xEE});
}

TEST(ValueCodec, NumbersInBothByteOrders) {
    const auto i = record("int", 2);
    EXPECT_EQ(show(i, {0xFF, 0xFF}, kBig), "65535");
    EXPECT_EQ(show(i, {0xFF, 0xFF}, kLittle), "65535");
    EXPECT_EQ(show(i, {0x01, 0x02}, kBig), "258");
    EXPECT_EQ(show(i, {0x01, 0x02}, kLittle), "513");
    EXPECT_EQ(encode(i, "258", kLittle), (Bytes{0x02, 0x01}));
    EXPECT_EQ(encode(i, "65535"), (Bytes{0xFF, 0xFF}));
    // Nothing is wrapped or read as its leading number: an int is shown 0..65535 and takes that.
    EXPECT_EQ(encode(i, "-1"), Bytes{0xEE});
    EXPECT_EQ(encode(i, "70000"), Bytes{0xEE});
    EXPECT_EQ(encode(i, "abc"), Bytes{0xEE});
    EXPECT_EQ(encode(i, "12abc"), Bytes{0xEE});

    const auto l = record("long", 4);
    EXPECT_EQ(show(l, {0xFF, 0xFF, 0xFF, 0xFF}), "-1");
    EXPECT_EQ(show(l, {0x80, 0, 0, 0}), "-2147483648");
    EXPECT_EQ(encode(l, "-2", kLittle), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    // unsigned long covers the whole unsigned 32-bit range, also when encoding.
    const auto ul = record("unsigned long", 4);
    EXPECT_EQ(show(ul, {0xFF, 0xFF, 0xFF, 0xFF}), "4294967295");
    EXPECT_EQ(encode(ul, "4294967295"), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(encode(ul, "3000000000", kLittle), (Bytes{0x00, 0x5E, 0xD0, 0xB2}));

    const auto c = record("char", 1);
    EXPECT_EQ(show(c, {0xC8}), "200");
    EXPECT_EQ(encode(c, "200"), (Bytes{0xC8}));
    EXPECT_EQ(encode(c, "-56"), Bytes{0xEE});
    EXPECT_EQ(encode(c, "300"), Bytes{0xEE});
}

TEST(ValueCodec, DefinedValuesFollowTheCharRules) {
    const std::vector<DefinedValue> defined{{200, "Two hundred"}, {5, "Five"}, {-1, "All"}};
    // "char" compares the byte with the defined value's low byte read as -128..127: 200 never matches.
    EXPECT_EQ(show(record("char", 1, "", defined), {0xC8}), "200");
    EXPECT_EQ(show(record("char", 1, "", defined), {0x05}), "Five");
    EXPECT_EQ(show(record("char", 1, "", defined), {0xFF}), "255");
    EXPECT_EQ(show(record("unsigned char", 1, "", defined), {0xC8}), "Two hundred");
    EXPECT_EQ(show(record("unsigned char", 1, "", defined), {0xFF}), "All");
    // A name is sent only when the device shows that number by that name again: a "char" shows 200.
    EXPECT_EQ(encode(record("char", 1, "", defined), "Two hundred"), Bytes{0xEE});
    EXPECT_EQ(encode(record("unsigned char", 1, "", defined), "Two hundred"), (Bytes{0xC8}));
    // int compares the 16-bit number with the whole defined value: -1 is not 65535.
    EXPECT_EQ(show(record("int", 2, "", defined), {0xFF, 0xFF}), "65535");
    EXPECT_EQ(show(record("int", 2, "", defined), {0x00, 0xC8}), "Two hundred");
    EXPECT_EQ(encode(record("int", 2, "", defined), "All"), Bytes{0xEE});  // shown as 65535
    EXPECT_EQ(encode(record("unsigned long", 4, "", defined), "All"), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    // long and unsigned long compare all 32 bits.
    EXPECT_EQ(show(record("unsigned long", 4, "", defined), {0xFF, 0xFF, 0xFF, 0xFF}), "All");
    EXPECT_EQ(show(record("long", 4, "", defined), {0, 0, 0, 5}, kBig), "Five");
    EXPECT_EQ(show(record("long", 4, "", defined), {5, 0, 0, 0}, kLittle), "Five");
    // Texts are compared exactly.
    EXPECT_EQ(encode(record("int", 2, "", defined), "five"), Bytes{0xEE});
}

TEST(ValueCodec, IpMacAndText) {
    const auto ip = record("IP", 4);
    EXPECT_EQ(show(ip, {0xC0, 0xA8, 0x00, 0x01}, kBig), "192.168.0.1");
    EXPECT_EQ(show(ip, {0xC0, 0xA8, 0x00, 0x01}, kLittle), "1.0.168.192");
    EXPECT_EQ(encode(ip, "192.168.0.1", kBig), (Bytes{0xC0, 0xA8, 0x00, 0x01}));
    EXPECT_EQ(encode(ip, "192.168.0.1", kLittle), (Bytes{0x01, 0x00, 0xA8, 0xC0}));
    EXPECT_EQ(encode(ip, "10.1", kBig), Bytes{0xEE});

    const auto mac = record("MAC", 6);
    EXPECT_EQ(show(mac, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, kLittle), "00-1a-2b-3c-4d-5e");
    EXPECT_EQ(encode(mac, "00-1a-2b-3c-4d-5e", kLittle), (Bytes{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(encode(mac, "00:1A:2B:3C:4D:5E"), (Bytes{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));

    const auto text = record("*char", 8);
    EXPECT_EQ(encode(text, "ABC"), (Bytes{'A', 'B', 'C', 0, 0, 0, 0, 0}));
    EXPECT_EQ(encode(text, "ABCDEFGH"), (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
    EXPECT_EQ(encode(text, "ABCDEFGHIJ"), Bytes{0xEE});  // never cut
    EXPECT_EQ(show(text, {'h', 'i', 0, 'x', 0, 0, 0, 0}), "hi");
    EXPECT_EQ(show(text, {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}), "ABCDEFGH");
    EXPECT_EQ(show(record("unsigned *char", 3), {'a', ' ', 'b'}), "a b");
    EXPECT_EQ(encode(record("unsigned *char", 0), ""), Bytes{});
    EXPECT_EQ(encode(record("unsigned *char", 0), "x"), Bytes{0xEE});
}

TEST(ValueCodec, FlagsAndForms) {
    const std::vector<EnumerationEntry> e{{0, "DHCP"}, {1, "Static"}, {7, "Seven"}};
    EXPECT_EQ(show(record("FLAG", 1, "", {}, e), {0x01}), "Static");
    EXPECT_EQ(show(record("FLAG", 2, "", {}, e), {0x00, 0x07}, kBig), "Seven");
    EXPECT_EQ(show(record("FLAG", 2, "", {}, e), {0x00, 0x07}, kLittle), "Unknown");
    EXPECT_EQ(show(record("FLAG", 4, "", {}, e), {0x07, 0, 0, 0}, kLittle), "Seven");
    EXPECT_EQ(show(record("FLAG", 3, "", {}, e), {0x07, 0, 0}), "DHCP");  // other sizes read as 0
    EXPECT_EQ(encode(record("FLAG", 2, "", {}, e), "Seven", kLittle), (Bytes{0x07, 0x00}));
    EXPECT_EQ(encode(record("FLAG", 4, "", {}, e), "Static", kBig), (Bytes{0, 0, 0, 1}));

    // What cannot be sent with a value length equal to the bytes that follow is left out.
    EXPECT_FALSE(EncodeValue(record("FLAG", 1, "", {}, e), "Dynamic", kBig));
    EXPECT_FALSE(EncodeValue(record("FLAG", 3, "", {}, e), "Static", kBig));
    EXPECT_FALSE(EncodeValue(record("FLAG", 1), "Unknown", kBig));
    for (const char* type : {"*int", "unsigned *int", "*long", "unsigned *long", "*float", "double"}) {
        EXPECT_EQ(show(record(type, 4), {1, 2, 3, 4}), "") << type;
        EXPECT_FALSE(EncodeValue(record(type, 4), "1", kBig)) << type;
    }
    EXPECT_FALSE(EncodeValue(record("int", 4), "1", kBig));  // a size the type cannot fill
    Bytes out{0xAA};
    EXPECT_FALSE(appendParameterEntry(out, record("FLAG", 1, "", {}, e), "Dynamic", kBig));
    EXPECT_FALSE(appendParameterEntry(out, record("*float", 4), "1.5", kBig));
    EXPECT_EQ(out, Bytes{0xAA});
    // The value length is the record's size in device byte order, followed by exactly that many bytes.
    EXPECT_TRUE(appendParameterEntry(out, record("*char", 3), "AB", kLittle));
    EXPECT_EQ(out, (Bytes{0xAA, 0x03, 0x03, 0x01, 0x02, 0x03, 0x00, 'A', 'B', 0}));
    out.clear();
    EXPECT_TRUE(appendParameterEntry(out, record("FLAG", 2, "", {}, e), "Static", kBig));
    EXPECT_EQ(out, (Bytes{0x03, 0x03, 0x01, 0x02, 0x00, 0x02, 0x00, 0x01}));
    EXPECT_EQ(parameterIdText(Bytes{3, 1, 12}), "3.1.12");
}

TEST(ValueCodec, UnitsAreShownAndRemovedWithoutHarmingTheValue) {
    const auto ms = record("int", 2, "ms");
    EXPECT_EQ(show(ms, {0x00, 0x64}), "100  ms");
    for (const char* typed : {"100  ms", "100ms", "100 ms", "100", " 100  ms "})
        EXPECT_EQ(encode(ms, typed), (Bytes{0x00, 0x64})) << typed;
    // A text whose letters contain the unit keeps them: only the shown "  unit" suffix goes.
    const auto text = record("*char", 8, "s");
    EXPECT_EQ(show(text, {'s', 't', 'a', 't', 'u', 's', 0, 0}), "status  s");
    EXPECT_EQ(encode(text, "status  s"), (Bytes{'s', 't', 'a', 't', 'u', 's', 0, 0}));
    EXPECT_EQ(encode(text, "status"), (Bytes{'s', 't', 'a', 't', 'u', 's', 0, 0}));
    EXPECT_EQ(encode(text, "a b  s"), (Bytes{'a', ' ', 'b', 0, 0, 0, 0, 0}));
    // Defined and enumeration texts with blanks or with the unit's letters.
    const auto defined = record("unsigned int", 2, "ms", {{0, "Not used"}, {9, "Alarms"}});
    EXPECT_EQ(show(defined, {0, 0}), "Not used  ms");
    EXPECT_EQ(encode(defined, "Not used  ms"), (Bytes{0, 0}));
    EXPECT_EQ(encode(defined, "Alarms"), (Bytes{0, 9}));
    const auto flag = record("FLAG", 1, "ms", {}, {{0, "Off"}, {3, "Alarms"}});
    EXPECT_EQ(encode(flag, "Alarms"), Bytes{3});
    EXPECT_EQ(encode(flag, "Alarms  ms"), Bytes{3});
    // A unit that starts with a digit is only taken off in its shown form.
    const auto digits = record("int", 2, "1");
    EXPECT_EQ(encode(digits, "1001"), (Bytes{0x03, 0xE9}));
    EXPECT_EQ(encode(digits, "1001  1"), (Bytes{0x03, 0xE9}));
}

TEST(ValueCodec, FloatsReadBackExactly) {
    const auto f = record("float", 4);
    EXPECT_EQ(show(f, {0x3F, 0xC0, 0x00, 0x00}, kBig), "1.500000");
    EXPECT_EQ(show(f, {0x00, 0x00, 0xC0, 0x3F}, kLittle), "1.500000");
    EXPECT_EQ(encode(f, "1.5", kLittle), (Bytes{0x00, 0x00, 0xC0, 0x3F}));
    EXPECT_EQ(formatFloatBits(std::bit_cast<std::uint32_t>(1e-10f)), "1e-10");          // "%f" would show 0.000000
    EXPECT_EQ(formatFloatBits(std::bit_cast<std::uint32_t>(1.0000001f)), "1.0000001");  // "%f" would show 1.000000
    EXPECT_EQ(formatFloatBits(0x80000000u), "-0.000000");
    EXPECT_EQ(formatFloatBits(0x7F800000u), "inf");
    EXPECT_EQ(formatFloatBits(0xFF800000u), "-inf");
    EXPECT_EQ(formatFloatBits(0x7FC00000u), "nan");
    EXPECT_EQ(formatFloatBits(0xFFC00000u), "-nan");
    EXPECT_EQ(formatFloatBits(0x7F800001u), "nan(0x1)");
    EXPECT_EQ(parseFloatText("nan(0x1)"), 0x7F800001u);
    EXPECT_EQ(parseFloatText("-NaN"), 0xFFC00000u);
    EXPECT_EQ(parseFloatText("+2.5e1"), std::bit_cast<std::uint32_t>(25.0f));
    EXPECT_EQ(parseFloatText("1e99"), 0x7F800000u);
    EXPECT_EQ(parseFloatText("-1e-99"), 0x80000000u);
    EXPECT_EQ(parseFloatText("volts"), 0u);
    EXPECT_EQ(parseFloatText("3.25abc"), std::bit_cast<std::uint32_t>(3.25f));
}

TEST(ValueCodec, FormatValueStaysInsideTheBytes) {
    DefinitionSet set;
    set.records = {record("int", 2), record("*char", 4), record("long", 4)};
    const Bytes reply{0x00, 0x05, 'a', 'b', 'c', 'd', 0x00, 0x00, 0x01};
    auto shown = [&](int index, std::size_t offset) {
        const auto value = blockValue(set, index, reply, offset);
        return value ? FormatValue(set.records[static_cast<std::size_t>(index)], *value, kBig) : "<outside>";
    };
    EXPECT_EQ(shown(0, 0), "5");
    EXPECT_EQ(shown(1, 2), "abcd");
    EXPECT_EQ(shown(2, 6), "<outside>");  // needs 4 bytes, 3 left
    EXPECT_EQ(shown(0, 100), "<outside>");
    EXPECT_EQ(shown(3, 0), "<outside>");
}

// For every type and size, a shown value encodes back to exactly the bytes it was shown from.
TEST(ValueCodec, PropertyShownValuesEncodeBackToTheirBytes) {
    std::mt19937 rng(20261207);
    const std::vector<DefinedValue> defined{{0, "Off"}, {1, "Low level"}, {300, "High"}, {-1, "All"}, {77, "ms"}};
    std::vector<EnumerationEntry> enumeration;
    for (int k = 0; k < 20; ++k) enumeration.push_back({k * 5, "Mode " + std::to_string(k)});
    struct Case {
        std::string type;
        int size;
    };
    const std::vector<Case> cases{
        {"char", 1},          {"unsigned char", 1}, {"int", 2},   {"unsigned int", 2}, {"long", 4},
        {"unsigned long", 4}, {"float", 4},         {"IP", 4},    {"MAC", 6},          {"FLAG", 1},
        {"FLAG", 2},          {"FLAG", 4},          {"*char", 1}, {"*char", 16},       {"unsigned *char", 40}};
    for (const Case& c : cases) {
        for (const ByteOrder order : {kBig, kLittle}) {
            for (const std::string unit : {"", "ms", "s", "%"}) {
                const auto r = record(c.type, c.size, unit, c.type == "FLAG" ? std::vector<DefinedValue>{} : defined,
                                      c.type == "FLAG" ? enumeration : std::vector<EnumerationEntry>{});
                for (int n = 0; n < 3000; ++n) {
                    Bytes bytes(static_cast<std::size_t>(c.size));
                    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
                    if (c.type == "FLAG" && n % 2 == 0) {  // often a number with an entry
                        bytes.assign(bytes.size(), 0);
                        bytes[order == kBig ? bytes.size() - 1 : 0] = static_cast<std::uint8_t>(5 * (rng() % 20));
                    }
                    if (valueTypeOf(c.type) == ValueType::Text) {  // text: zero-padded after its end
                        const std::size_t length = rng() % (bytes.size() + 1);
                        for (std::size_t i = 0; i < bytes.size(); ++i) {
                            if (i >= length)
                                bytes[i] = 0;
                            else if (bytes[i] < 0x20 || bytes[i] == 0x7F)  // no control character is sent
                                bytes[i] = 'z';
                        }
                    }
                    const std::string text = FormatValue(r, bytes, order);
                    const auto back = EncodeValue(r, text, order);
                    if (c.type == "FLAG" && text.starts_with("Unknown")) {
                        EXPECT_FALSE(back) << "unmatched FLAG must be left out";
                        continue;
                    }
                    if (c.type == "float" && !std::isfinite(std::bit_cast<float>(readU32(bytes.data(), order)))) {
                        EXPECT_FALSE(back) << "only finite floats are sent: " << text;
                        continue;
                    }
                    ASSERT_TRUE(back) << c.type << " " << text;
                    ASSERT_EQ(*back, bytes)
                        << c.type << "/" << c.size << " unit '" << unit << "' shown as \"" << text << "\"";
                }
            }
        }
    }
}

// What a record refuses, and the limit the message names.
TEST(ValueCheck, RefusedTextsNameTheirLimit) {
    auto limitOf = [](const ParameterRecord& r, const std::string& text) {
        std::string limit;
        EXPECT_FALSE(EncodeValue(r, text, kBig, &limit)) << text;
        return limit;
    };
    const auto port = record("unsigned int", 2);
    EXPECT_EQ(limitOf(port, "99999"), "at most 65535");
    EXPECT_EQ(limitOf(port, "-5"), "at least 0");
    EXPECT_EQ(limitOf(record("long", 4), "2147483648"), "at most 2147483647");
    EXPECT_EQ(limitOf(record("long", 4), "-2147483649"), "at least -2147483648");
    EXPECT_EQ(limitOf(record("unsigned long", 4), "4294967296"), "at most 4294967295");
    EXPECT_EQ(limitOf(record("unsigned char", 1), "abc"), "a whole number from 0 to 255");
    EXPECT_EQ(limitOf(record("int", 2, "s", {{0, "Never"}, {60, "Minute"}}), "sometimes"),
              "a whole number from 0 to 65535 or one of: Never, Minute");
    EXPECT_EQ(limitOf(record("IP", 4), "999.1.2"), "four numbers from 0 to 255 separated by \".\"");
    EXPECT_EQ(limitOf(record("IP", 4), "hello"), "four numbers from 0 to 255 separated by \".\"");
    EXPECT_EQ(limitOf(record("IP", 4), "1.2.3.4.5"), "four numbers from 0 to 255 separated by \".\"");
    EXPECT_EQ(limitOf(record("MAC", 6), "00-11-22-33-44"), "six hexadecimal bytes separated by \"-\"");
    EXPECT_EQ(limitOf(record("MAC", 6), "00-11-22-33-44-555"), "six hexadecimal bytes separated by \"-\"");
    EXPECT_EQ(limitOf(record("float", 4), "inf"), "a finite number");
    EXPECT_EQ(limitOf(record("float", 4), "1e39"), "a finite number");
    EXPECT_EQ(limitOf(record("float", 4), "1.5 volts"), "a finite number");
    EXPECT_EQ(limitOf(record("*char", 16), "abcdefghijklmnopq"), "at most 16 characters");
    // What the device would keep otherwise than typed: a character beyond Latin-1 (never a "?"), a
    // float the 4 bytes do not hold to the digits given.
    EXPECT_EQ(limitOf(record("*char", 16), std::string("Pass") + kNotLatin1),
              "characters outside Latin-1 cannot be stored");
    // Control characters, which no .CNF or pwd.ini line gives back and a terminal acts on.
    for (const char* control : {"a\tb", "a\rb", "line\n", "\x1B]0;x\x07", "del\x7F"})
        EXPECT_EQ(limitOf(record("*char", 16), control),
                  "a tab, a line end or another control character cannot be stored")
            << control;
    for (const char* lost : {"16777217", "3.14159265358979", "0.1000000001", "1e-46"})
        EXPECT_EQ(limitOf(record("float", 4), lost), "a number a 4-byte float holds exactly to the digits given")
            << lost;
    for (const char* held :
         {"16777216", "0.1", "3.1415927", "1e-45", "-0.0", "340282346638528859811704183484516925440"})
        EXPECT_TRUE(EncodeValue(record("float", 4), held, kBig)) << held;
    EXPECT_EQ(encode(record("*char", 4), "Caf\xE9"), (Bytes{'C', 'a', 'f', 0xE9}));
    EXPECT_EQ(limitOf(record("FLAG", 1, "", {}, {{0, "DHCP"}, {1, "Static"}}), "Sometimes"), "one of: DHCP, Static");
    EXPECT_EQ(limitOf(record("*int", 4), "1"), "cannot be set");
    // Within the limits, also with the unit and blanks around.
    EXPECT_EQ(encode(record("float", 4), "-2.5"), (Bytes{0xC0, 0x20, 0, 0}));
    EXPECT_EQ(encode(record("int", 2, "s"), " 30 s"), (Bytes{0, 30}));
    EXPECT_EQ(encode(record("IP", 4), "10.0.0.255"), (Bytes{10, 0, 0, 255}));
}

// Whatever passes the check is shown back by the device as the same text: drawn texts of every
// type, in and out of range, are refused exactly when the type cannot hold them.
TEST(ValueCheck, PropertyWhatPassesDecodesBackToTheSameText) {
    std::mt19937 rng(14);
    auto pick = [&](long long lo, long long hi) {
        return lo + static_cast<long long>(rng() % static_cast<unsigned long long>(hi - lo + 1));
    };
    const std::vector<DefinedValue> defined{{0, "Off"}, {5, "Five"}, {-1, "All"}};
    struct Case {
        std::string type;
        int size;
        long long min, max;
    };
    const std::vector<Case> numbers{
        {"char", 1, 0, 255},           {"unsigned char", 1, 0, 255},      {"int", 2, 0, 65535},
        {"unsigned int", 2, 0, 65535}, {"long", 4, INT32_MIN, INT32_MAX}, {"unsigned long", 4, 0, UINT32_MAX}};
    int passed = 0, refused = 0;
    for (const ByteOrder order : {kBig, kLittle}) {
        for (const Case& c : numbers) {
            const auto r = record(c.type, c.size, "", defined);
            for (int n = 0; n < 4000; ++n) {
                const long long v = pick(c.min - 70000, c.max + 70000);
                const std::string text = std::to_string(v);
                const auto bytes = EncodeValue(r, text, order);
                const bool inRange = v >= c.min && v <= c.max;
                ASSERT_EQ(bytes.has_value(), inRange) << c.type << " " << text;
                if (!bytes) {
                    ++refused;
                    continue;
                }
                ++passed;
                // A number with a defined value is shown by its name.
                const std::string shown = FormatValue(r, *bytes, order);
                std::string expected = text;
                for (const DefinedValue& dv : defined) {
                    if (EncodeValue(r, dv.text, order) == bytes) expected = dv.text;
                }
                ASSERT_EQ(shown, expected) << c.type;
            }
            for (const DefinedValue& dv : defined) {
                if (const auto bytes = EncodeValue(r, dv.text, order)) {
                    ASSERT_EQ(FormatValue(r, *bytes, order), dv.text) << c.type;
                }
            }
        }
        const auto ip = record("IP", 4);
        const auto mac = record("MAC", 6);
        const auto text = record("*char", 12, "ms");
        const auto real = record("float", 4);
        for (int n = 0; n < 4000; ++n) {
            long long octets[4];
            std::string ipText;
            bool ipOk = true;
            for (long long& o : octets) {
                o = pick(0, 300);
                ipOk = ipOk && o <= 255;
                ipText += (ipText.empty() ? "" : ".") + std::to_string(o);
            }
            const auto ipBytes = EncodeValue(ip, ipText, order);
            ASSERT_EQ(ipBytes.has_value(), ipOk) << ipText;
            if (ipBytes) {
                ASSERT_EQ(FormatValue(ip, *ipBytes, order), ipText);
            }

            char macText[32];
            std::snprintf(macText, sizeof macText, "%02x-%02x-%02x-%02x-%02x-%02x", unsigned(rng() & 0xFF),
                          unsigned(rng() & 0xFF), unsigned(rng() & 0xFF), unsigned(rng() & 0xFF),
                          unsigned(rng() & 0xFF), unsigned(rng() & 0xFF));
            const auto macBytes = EncodeValue(mac, macText, order);
            ASSERT_TRUE(macBytes);
            ASSERT_EQ(FormatValue(mac, *macBytes, order), macText);

            std::string word(static_cast<std::size_t>(pick(0, 16)), 'a');
            for (char& ch : word) ch = static_cast<char>(pick(1, 255));
            std::replace(word.begin(), word.end(), kNotLatin1, 'b');
            const auto textBytes = EncodeValue(text, word, order);
            ASSERT_EQ(textBytes.has_value(), word.size() <= 12 && !holdsControlCharacter(word)) << word.size();
            if (textBytes) {
                ASSERT_EQ(FormatValue(text, *textBytes, order), word + "  ms");
            }

            const float f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
            const std::string floatText = formatFloatBits(std::bit_cast<std::uint32_t>(f));
            const auto floatBytes = EncodeValue(real, floatText, order);
            ASSERT_EQ(floatBytes.has_value(), std::isfinite(f)) << floatText;
            if (floatBytes) {
                ASSERT_EQ(FormatValue(real, *floatBytes, order), floatText);
            }
        }
    }
    EXPECT_GT(passed, 1000);
    EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace tarn
