// Small text helpers shared by the parsers and codecs. Texts are 8-bit data (std::string).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Stands for a character of the operator's text that Latin-1 (one byte per character, as devices and
// files hold texts) has no byte for. ASCII SUB, which no device text holds; checks refuse it.
inline constexpr char kNotLatin1 = '\x1A';

std::string replaceAll(std::string text, std::string_view from, std::string_view to);
std::string toUpperAscii(std::string text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
// Decimal reading in the manner of atoi: leading blanks, optional sign, digits; anything else gives 0.
long long parseLeadingInteger(std::string_view text);
// Whether the text holds a C0 control character (tab, CR, LF, ...) or DEL: such a text is never
// sent as a value, since no .CNF or pwd.ini line could give it back and a terminal would act on it.
bool holdsControlCharacter(std::string_view text);
// A device's text made safe for a terminal: control characters (C0, DEL and C1, which can start
// escape sequences) become "\xNN", "\t" or "\n", and a backslash becomes "\\".
std::string escapeControlCharacters(std::string_view text);
// A count with its thousands grouped by commas, as the window and tarnctl's progress say it: "65,534".
std::string groupedNumber(long long n);
// The same for a message of several lines: its line ends are kept, everything else is escaped.
std::string escapeControlCharactersByLine(std::string_view text);
// A text quoted in a message: '...' around it, control characters escaped, and a long text cut to
// its start ("'Pump house ...' (9000000 characters)"), so that one cell cannot flood a message.
std::string quotedForMessage(std::string_view text);
// Whether the whole text matches the pattern: '*' stands for any run of bytes, '?' for one byte, the
// rest for itself (ASCII letters in either case with ignoreCase). Linear in practice, never exponential.
bool matchesGlob(std::string_view pattern, std::string_view text, bool ignoreCase = false);
// Latin-1 bytes (a device's text) as UTF-8, as files for other programs hold them.
std::string latin1ToUtf8(std::string_view latin1);
// UTF-8 text as Latin-1 bytes; a character beyond Latin-1 becomes kNotLatin1. Nothing when the text
// is not valid UTF-8.
std::optional<std::string> utf8ToLatin1(std::string_view utf8);

}  // namespace tarn
