// The only conversions between a parameter's value bytes on the wire and the text the list shows:
// FormatValue (bytes -> text) and EncodeValue (text -> bytes), for every type keyword of a .dcf file,
// in the device byte order. Both work on one record, whatever list or message it comes from.
//
// Text forms:
//   char, unsigned char        1 byte, decimal 0..255, or a defined-value text
//   int, unsigned int          2 bytes, decimal 0..65535, or a defined-value text
//   long / unsigned long       4 bytes, decimal -2147483648..2147483647 / 0..4294967295, or defined text
//   float                      4 bytes IEEE single: "%f" when that reads back to the same bits, else the
//                              shortest exact form ("1e-10", "1.0000001"); "inf", "-inf", "nan",
//                              "-nan", and "nan(0x1234)" for a NaN with another payload
//   IP                         "a.b.c.d"; bytes a b c d from product number 50 up, else d c b a
//   MAC                        "00-1a-2b-3c-4d-5e" (hex, wire order); read back as six hexadecimal
//                              numbers separated by "-" or ":", either case
//   FLAG (size 1, 2 or 4)      the enumeration text of the number, "Unknown" when none matches
//   *char, unsigned *char      the bytes up to the first zero byte; encoded cut or zero-padded to size
//   *int, *long, *float, ...   empty text, no value bytes
// A non-empty unit is shown behind the value as "  " + unit.
//
// What devices send is shown as it comes (a text is cut at its first zero byte, numbers take the
// type's width). What is sent must encode exactly: a text that does not (a number out of range, a
// text longer than the record, a FLAG text with no enumeration entry, a pointer form, an unknown
// keyword, a size that does not fit the type) is not encoded at all, and EncodeValue appends nothing.
#pragma once

#include <optional>
#include <string>

#include "core/common/bytes.h"
#include "core/params/definition_set.h"

namespace tarn {

enum class ValueType {
    Char,
    UnsignedChar,
    Int,
    UnsignedInt,
    Long,
    UnsignedLong,
    Float,
    Ip,
    Mac,
    Flag,
    Text,
    Pointer,
    Other
};

ValueType valueTypeOf(const std::string& keyword);

// FormatValue: the text of a record's value bytes (a reply's record, or the part of a class block
// that belongs to the record). Fewer bytes than the type needs give an empty value (followed by the
// unit, if any); a text stops at its first zero byte or after the record's size.
std::string FormatValue(const ParameterRecord& record, ByteView value, ByteOrder order);

// EncodeValue: the value bytes (exactly `size` of them) a set request carries for a text, or nothing
// when the text does not encode exactly; then *limit (when given) says what the record takes, e.g.
// "at most 65535". Nothing is cut, wrapped or read as its leading number: integers are whole numbers
// within the type's range (char and int as the list shows them, 0..255 and 0..65535) or the name of
// a defined value that the device shows by that name; floats are finite and come back from their 4
// bytes to every digit given; IP texts are four numbers 0..255; MAC texts six hexadecimal bytes;
// texts fit the record's size and hold only Latin-1 characters (kNotLatin1 marks one that is not);
// FLAG texts are enumeration entries. The value length in front of the bytes is the caller's (appendParameterEntry).
std::optional<Bytes> EncodeValue(const ParameterRecord& record, const std::string& text, ByteOrder order,
                                 std::string* limit = nullptr);

// Float text helpers, exposed for the tests and the value editor.
std::string formatFloatBits(std::uint32_t bits);
std::uint32_t parseFloatText(const std::string& text);

}  // namespace tarn
