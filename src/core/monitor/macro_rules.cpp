// The macro edit's filter and the macro check of the output dialog.
#include "core/monitor/macro_rules.h"

#include "core/iolink/io_commands.h"
#include "core/iolink/io_limits.h"
#include "core/iolink/io_state.h"
#include "core/monitor/port_input.h"

namespace tarn {

namespace {

bool isOperator(char c) { return c == '&' || c == '|'; }

char raised(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// "O1".."O10", "I1".."I12" or "A1".."A4"; "O01" is not a port name.
bool isPortName(std::string_view name) {
    if (name.size() < 2 || name[1] == '0') return false;
    int count = 0;
    switch (name[0]) {
        case 'O':
            count = kIoOutputCount;
            break;
        case 'I':
            count = kIoInputCount;
            break;
        case 'A':
            count = kIoAdcCount;
            break;
        default:
            return false;
    }
    return readBoundedNumber(name.substr(1), count).has_value();  // a leading '0' was refused above
}

MacroSyntax failAt(std::size_t start, std::size_t length) {
    return {false, static_cast<int>(start), static_cast<int>(length)};
}

}  // namespace

bool isMacroCharacter(char c) {
    return c == 'I' || c == 'O' || c == 'A' || c == '!' || isOperator(c) || (c >= '0' && c <= '9');
}

MacroEditState filterMacroText(std::string_view text, int selectionStart, int selectionEnd) {
    MacroEditState edit{{}, selectionStart, selectionEnd};
    edit.text.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = raised(text[i]);
        if (isMacroCharacter(c)) {
            edit.text += c;
            continue;
        }
        const int position = static_cast<int>(i);
        if (position < selectionStart) --edit.selectionStart;
        if (position < selectionEnd) --edit.selectionEnd;
    }
    return edit;
}

MacroSyntax checkMacroSyntax(std::string_view macro) {
    if (macro.empty()) return failAt(0, 0);
    std::size_t begin = 0;
    while (true) {
        std::size_t end = begin;
        while (end < macro.size() && !isOperator(macro[end])) ++end;
        // The term lies in [begin, end); an operator, if any, stands at `end`.
        const std::size_t nameStart = (begin < end && macro[begin] == '!') ? begin + 1 : begin;
        const std::string_view name = macro.substr(nameStart, end - nameStart);
        if (name.empty()) {
            if (begin < end) return failAt(begin, end - begin);  // a lone "!"
            if (end < macro.size()) return failAt(end, 1);       // an operator with nothing before it
            return failAt(begin - 1, 1);                         // a trailing operator
        }
        if (!isPortName(name)) return failAt(nameStart, name.size());
        if (end == macro.size()) return {true, 0, 0};
        begin = end + 1;
    }
}

MacroInputCheck checkMacroInput(std::string_view editText) {
    const std::string_view macro = trimBlanks(editText);
    const auto offset = static_cast<int>(macro.data() - editText.data());
    if (macro.empty()) return {kInputMacroText, {}, 0, 0};
    if (!macroLengthOk(macro)) {
        const auto limit = static_cast<int>(kMaxMacroLength);
        return {kMacroTooLongText, {}, offset + limit, static_cast<int>(macro.size()) - limit};
    }
    const MacroSyntax syntax = checkMacroSyntax(macro);
    if (!syntax.passed) return {kMacroMistakeText, {}, offset + syntax.failStart, syntax.failLength};
    return {{}, std::string(macro), 0, 0};
}

}  // namespace tarn
