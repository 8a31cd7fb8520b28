// The output dialog's macro edit filter and macro check.
#include <gtest/gtest.h>
#include <string>

#include "core/iolink/io_commands.h"
#include "core/monitor/macro_rules.h"

namespace tarn {
namespace {

TEST(MacroRules, SyntaxMarksTheFailingTermWhereItStands) {
    struct Case {
        const char* macro;
        bool passes;
        int failStart = 0;
        int failLength = 0;
    };
    const Case cases[] = {
        {"O10&I12|!A4", true},
        {"O1", true},
        {"A1|I1", true},
        {"O11", false, 0, 3},
        {"I13", false, 0, 3},
        {"A5", false, 0, 2},
        {"O0", false, 0, 2},
        {"I01", false, 0, 3},
        {"O1&", false, 2, 1},
        {"&O1", false, 0, 1},
        {"O1&&O2", false, 3, 1},
        {"!", false, 0, 1},
        // The failing term is marked where it stands, not where its text first occurs.
        {"O10&0", false, 4, 1},
        {"O10&I12|!A5", false, 9, 2},
        // '!' only negates a whole term.
        {"O!1", false, 0, 3},
        {"O1!", false, 0, 3},
        {"!!O1", false, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.macro);
        const MacroSyntax syntax = checkMacroSyntax(c.macro);
        EXPECT_EQ(syntax.passed, c.passes);
        if (!c.passes) {
            EXPECT_EQ(syntax.failStart, c.failStart);
            EXPECT_EQ(syntax.failLength, c.failLength);
        }
    }
}

TEST(MacroRules, InputCheckGivesTheMessageAndMarksInTheEditText) {
    EXPECT_EQ(checkMacroInput(" \t "), (MacroInputCheck{kInputMacroText, {}, 0, 0}));
    EXPECT_EQ(checkMacroInput("  O1&I2 "), (MacroInputCheck{{}, "O1&I2", 0, 0}));
    EXPECT_EQ(checkMacroInput("  O1&I13"), (MacroInputCheck{kMacroMistakeText, {}, 5, 3}));

    std::string longest = "O1";  // 2 + 26 * 3 + 2 * 4 = 88 characters
    for (int i = 0; i < 26; ++i) longest += "&O1";
    longest += "&O10&O10";
    ASSERT_EQ(longest.size(), 88u);
    EXPECT_TRUE(checkMacroInput(longest).ok());
    const MacroInputCheck tooLong = checkMacroInput(longest + "2");
    EXPECT_EQ(tooLong.message, kMacroTooLongText);
    EXPECT_EQ(tooLong.selectionStart, 88);
    EXPECT_EQ(tooLong.selectionLength, 1);
}

TEST(MacroRules, FilterRaisesLettersDropsTheRestAndKeepsTheCursorBehindTheTyping) {
    EXPECT_EQ(filterMacroText("o1 & i2", 7, 7), (MacroEditState{"O1&I2", 5, 5}));
    // A stray character after the cursor does not move it; one inside the selection shrinks it.
    EXPECT_EQ(filterMacroText("O1&x I2", 2, 2), (MacroEditState{"O1&I2", 2, 2}));
    EXPECT_EQ(filterMacroText("O1+&I2", 1, 5), (MacroEditState{"O1&I2", 1, 4}));
    EXPECT_EQ(filterMacroText("O10&I12|!A4", 3, 3), (MacroEditState{"O10&I12|!A4", 3, 3}));
}

}  // namespace
}  // namespace tarn
