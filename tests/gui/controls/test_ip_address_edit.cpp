// The IP address control, driven by typed keys as an operator types into the Quick Connect dialog.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "gui/discovery/input_ip_dlg.h"

using namespace tarn;

namespace {

using Address = std::array<std::uint8_t, 4>;

// Opens the dialog with `preset`, types `keys` into whatever field has the focus, and reads back.
Address typeInto(const Address& preset, const char* keys) {
    CInputIPDlg dialog(preset);
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    for (const char* c = keys; *c; ++c) QTest::keyClick(dialog.windowHandle(), *c);
    return dialog.address();
}

}  // namespace

TEST(IpAddressEdit, TypedAddressesArriveExactlyAsTyped) {
    const Address preset{192, 168, 100, 1};
    struct Case {
        const char* typed;
        Address expected;
    };
    // Full fields move on by themselves; a dot typed right after such a move belongs to it.
    for (const Case& c : {Case{"127.100.5.9", {127, 100, 5, 9}}, Case{"192.168.1.10", {192, 168, 1, 10}},
                          Case{"10.1.2.3", {10, 1, 2, 3}}, Case{"255.255.255.255", {255, 255, 255, 255}},
                          Case{"1.22.133.4", {1, 22, 133, 4}}, Case{"192168100200", {192, 168, 100, 200}}}) {
        EXPECT_EQ(typeInto(preset, c.typed), c.expected) << c.typed;
        EXPECT_EQ(typeInto({9, 9, 9, 9}, c.typed), c.expected) << c.typed << " over 9.9.9.9";
    }
    // Dots typed in the last field change nothing.
    EXPECT_EQ(typeInto(preset, "10.0.0.7.."), (Address{10, 0, 0, 7}));
    // Typing only the first field replaces it; the others keep the preset.
    EXPECT_EQ(typeInto(preset, "10"), (Address{10, 168, 100, 1}));
}
