// The macro of an output port as the output dialog handles it: what the macro edit accepts while
// the operator types, and the check a macro must pass before it is written to the device.
//
// A macro is a logical expression over the device's ports: port terms joined by '&' and '|', each
// term optionally negated by one leading '!':
//
//   macro := term { ('&' | '|') term }      term := [ '!' ] port
//   port  := "O1".."O10" | "I1".."I12" | "A1".."A4"     (no leading zeros)
//
//   "O10&I12|!A4" passes; "O1&", "&O1", "O1&&O2", "!", "O11", "I01" and "O!1" fail.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

inline constexpr std::string_view kInputMacroText = "Input MACRO !!";
inline constexpr std::string_view kMacroMistakeText = "It input the Macro by mistake.";

// The characters the macro edit keeps: 'I', 'O', 'A', '&', '|', '!' and the digits.
bool isMacroCharacter(char c);

// The macro edit's text and selection (character positions, as the edit counts them).
struct MacroEditState {
    std::string text;
    int selectionStart = 0;
    int selectionEnd = 0;

    bool operator==(const MacroEditState&) const = default;
};

// The edit after a change: lower-case letters are raised, every other character the edit does not
// keep is removed, and each end of the selection moves left by the characters removed before it,
// so the cursor stays behind what was typed. "o1 & i2" becomes "O1&I2".
MacroEditState filterMacroText(std::string_view text, int selectionStart, int selectionEnd);

// The outcome of the syntax check. On failure, `failStart`/`failLength` mark the first term that
// failed, where it stands in the text, so the edit can select it. A missing term is marked by the
// operator that lacks it ("O1&&O2" marks the second '&'); a lone "!" marks itself.
struct MacroSyntax {
    bool passed = false;
    int failStart = 0;
    int failLength = 0;

    bool operator==(const MacroSyntax&) const = default;
};

MacroSyntax checkMacroSyntax(std::string_view macro);

// The macro step of the write chain, on the edit's text: blanks at both ends are cut off; an empty
// macro gives kInputMacroText, one longer than kMaxMacroLength gives kMacroTooLongText (marking the
// characters beyond the limit), a syntax failure gives kMacroMistakeText (marking the failed
// term). Marks count in the edit's text as given. When `message` is empty, `macro` is the text to
// write into `macroText`.
struct MacroInputCheck {
    std::string_view message;
    std::string macro;
    int selectionStart = 0;
    int selectionLength = 0;

    bool ok() const { return message.empty(); }
    bool operator==(const MacroInputCheck&) const = default;
};

MacroInputCheck checkMacroInput(std::string_view editText);

}  // namespace tarn
