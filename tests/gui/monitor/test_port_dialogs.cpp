// The port dialogs and the serial/firmware dialog as the operator sees them, against a device model
// (the real command engine answered at once): what the read shows, which controls are enabled,
// what "Setting" asks and writes, and the message boxes' texts.
#include <gtest/gtest.h>
#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "core/monitor/device_io.h"
#include "gui/common/qt_prompter.h"
#include "gui/monitor/set_adc_level_dlg.h"
#include "gui/monitor/set_delay_pulse_dlg.h"
#include "gui/monitor/set_input_dlg.h"
#include "gui/monitor/tarn_confirm_dlg.h"
#include "support/modal.h"
#include "support/wait.h"

namespace tarn {
namespace {

using test::DeviceIo;
using test::waitUntil;
using test::whenModal;

// The port dialogs' questions as the window shows them: boxes over the dialog.
QtPrompter boxes;

// Answers the message boxes that open from now on, one after another, with `buttons` in order,
// and records their texts. Bounded: a box still open after five seconds is closed unanswered.
class Boxes {
public:
    explicit Boxes(std::vector<QMessageBox::StandardButton> buttons) : buttons_(std::move(buttons)) {
        deadline_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            if (deadline_.hasExpired(5000)) {
                box->reject();
                return;
            }
            if (box == last_.data() || next_ >= buttons_.size()) return;
            last_ = box;
            texts << box->text();
            box->button(buttons_[next_++])->click();
        });
        timer_.start(10);
    }
    // The texts, once every scripted box has been answered (bounded).
    QStringList settled() {
        EXPECT_TRUE(waitUntil([this] {
            return next_ >= buttons_.size() && !qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        }));
        return texts;
    }
    QStringList texts;

private:
    std::vector<QMessageBox::StandardButton> buttons_;
    std::size_t next_ = 0;
    QPointer<QMessageBox> last_;  // a later box may take the address of a closed one
    QElapsedTimer deadline_;
    QTimer timer_;
};

// Opens `dialog` for `port` and calls `act` once it is up; the dialog is closed afterwards.
template <typename Dialog>
void runDialog(Dialog& dialog, int port, std::function<void(Dialog*)> act) {
    dialog.run(port);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeModalWidget() == &dialog; }));
    act(&dialog);
    dialog.reject();
}

TEST(PortDialogs, InputDialogShowsTheDeviceAndWritesTheChoice) {
    DeviceIo io;
    io.device.state().inputEnable[3] = false;
    CSetInputDlg dialog(io, boxes);
    io.onResult = [&](int index, int result) { dialog.chain().onIoResult(index, result); };
    runDialog<CSetInputDlg>(dialog, 4, [&](CSetInputDlg* d) {
        EXPECT_EQ(d->portNumber()->text(), QStringLiteral("4"));
        EXPECT_TRUE(d->disableButton()->isChecked());
        EXPECT_TRUE(d->settingButton()->isEnabled());

        // "No" writes nothing.
        d->enableButton()->click();
        {
            Boxes boxes({QMessageBox::No});
            io.sent.clear();
            d->settingButton()->click();
            EXPECT_EQ(boxes.settled(), QStringList{"Do you want to set Input port ?"});
            EXPECT_TRUE(io.sent.empty());
        }
        Boxes boxes({QMessageBox::Yes, QMessageBox::Ok});
        d->settingButton()->click();
        EXPECT_EQ(boxes.settled(), (QStringList{"Do you want to set Input port ?", "Complete Setting Input port"}));
        EXPECT_TRUE(io.device.state().inputEnable[3]);
        EXPECT_FALSE(io.device.state().settingMode);
        EXPECT_TRUE(d->enableButton()->isChecked());
    });
}

// The dialog closes (the link went) while its question is open: the question closes with it and
// nothing is written.
TEST(PortDialogs, ClosingTheDialogClosesItsOpenQuestion) {
    DeviceIo io;
    CSetInputDlg dialog(io, boxes);
    io.onResult = [&](int index, int result) { dialog.chain().onIoResult(index, result); };
    dialog.run(2);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeModalWidget() == &dialog; }));
    io.sent.clear();
    dialog.settingButton()->click();
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Do you want to set Input port ?"));
    dialog.reject();
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeModalWidget() == nullptr; }));
    EXPECT_TRUE(io.sent.empty());
    EXPECT_FALSE(dialog.chain().running());
}

TEST(PortDialogs, AdcDialogShowsTheDeviceEnablesTheLevelForSwitchAndChecksIt) {
    DeviceIo io;
    io.device.state().adcMode[1] = 1;
    io.device.state().adcLevel[1] = "0700";
    io.device.state().reference = '2';
    CSetADCLevelDlg dialog(io, boxes);
    io.onResult = [&](int index, int result) { dialog.chain().onIoResult(index, result); };
    runDialog<CSetADCLevelDlg>(dialog, 2, [&](CSetADCLevelDlg* d) {
        EXPECT_EQ(d->referenceList()->currentText(), QStringLiteral("Use outside"));
        EXPECT_TRUE(d->switchButton()->isChecked());
        EXPECT_TRUE(d->levelEdit()->isEnabled());
        EXPECT_EQ(d->levelEdit()->text(), QStringLiteral("0700"));
        d->levelButton()->click();
        EXPECT_FALSE(d->levelEdit()->isEnabled());
        d->switchButton()->click();
        EXPECT_TRUE(d->levelEdit()->isEnabled());

        // Out of range: refused before anything is sent.
        d->levelEdit()->clear();
        QTest::keyClicks(d->levelEdit(), QStringLiteral("1024"));
        io.sent.clear();
        {
            Boxes boxes({QMessageBox::Yes, QMessageBox::Ok});
            d->settingButton()->click();
            EXPECT_EQ(boxes.settled(), (QStringList{"Do you want to set ADC port ?", "Input Number Limit(0~1023)"}));
        }
        EXPECT_TRUE(io.sent.empty());

        d->levelEdit()->clear();
        QTest::keyClicks(d->levelEdit(), QStringLiteral("7"));
        Boxes boxes({QMessageBox::Yes, QMessageBox::Ok});
        d->settingButton()->click();
        EXPECT_EQ(boxes.settled(), (QStringList{"Do you want to set ADC port ?", "Complete Setting ADC port !"}));
        EXPECT_EQ(io.device.state().adcLevel[1], "0007");
        EXPECT_EQ(io.device.state().reference, '2');
        EXPECT_EQ(d->levelEdit()->text(), QStringLiteral("0007"));
    });
}

// The timed behaviour's controls follow "Use Delay/Pulse" and the mode: only the chosen mode's time
// edits take input; the macro edit follows "Use Macro".
TEST(PortDialogs, DelayPulseControlsAreEnabledByTheirBoxAndMode) {
    DeviceIo io;
    CSetDelayPulseDlg dialog(io, boxes);
    io.onResult = [&](int index, int result) { dialog.chain().onIoResult(index, result); };
    runDialog<CSetDelayPulseDlg>(dialog, 3, [&](CSetDelayPulseDlg* d) {
        auto enabledEdits = [&] {
            std::vector<bool> out;
            for (int k = 0; k < 4; ++k) out.push_back(d->timeEdit(k)->isEnabled());
            return out;
        };
        EXPECT_FALSE(d->useDelayPulse()->isChecked());
        EXPECT_EQ(enabledEdits(), (std::vector<bool>{false, false, false, false}));
        EXPECT_FALSE(d->modeButton(DelayPulseMode::Pulse)->isEnabled());
        EXPECT_FALSE(d->macroEdit()->isEnabled());

        d->useDelayPulse()->click();
        EXPECT_TRUE(d->modeButton(DelayPulseMode::Pulse)->isEnabled());
        EXPECT_EQ(enabledEdits(), (std::vector<bool>{true, false, false, false}));  // delay on
        d->modeButton(DelayPulseMode::DelayOff)->click();
        EXPECT_EQ(enabledEdits(), (std::vector<bool>{false, true, false, false}));
        d->modeButton(DelayPulseMode::Pulse)->click();
        EXPECT_EQ(enabledEdits(), (std::vector<bool>{false, false, true, true}));
        d->useDelayPulse()->click();
        EXPECT_EQ(enabledEdits(), (std::vector<bool>{false, false, false, false}));
        EXPECT_FALSE(d->modeButton(DelayPulseMode::DelayOn)->isEnabled());

        d->useMacro()->click();
        EXPECT_TRUE(d->macroEdit()->isEnabled());
        QTest::keyClicks(d->macroEdit(), QStringLiteral("o1 & i2"));
        EXPECT_EQ(d->macroEdit()->text(), QStringLiteral("O1&I2"));
    });
}

TEST(PortDialogs, SerialFirmwareDialogShowsTheNumbersOrTellsWhy) {
    DeviceIo io;
    io.device.state().serialNumber = "TARN-IO-000000042";
    io.device.state().firmwareVersion = "1.05    ";
    {
        CTARNConfirmDlg dialog(io, boxes);
        io.onResult = [&](int index, int result) { dialog.chain().onIoResult(index, result); };
        bool shown = false;
        whenModal<CTARNConfirmDlg>([&](CTARNConfirmDlg* d) {
            EXPECT_EQ(d->serialNumber()->text(), QStringLiteral("TARN-IO-000000042"));
            EXPECT_EQ(d->firmwareVersion()->text(), QStringLiteral("1.05    "));
            EXPECT_TRUE(d->serialNumber()->isReadOnly());
            shown = true;
            d->reject();
        });
        dialog.run();
        EXPECT_TRUE(waitUntil([&] { return shown; }));
    }
    for (auto [forced, text] : {std::pair{'1', "It did not set serial number!"},
                                std::pair{'7', "Fail : Read serial number/firmware version!"}}) {
        io.forced[IoCommand::ReadSerialFirmware] = forced;
        CTARNConfirmDlg dialog(io, boxes);
        io.onResult = [&](int index, int result) { dialog.chain().onIoResult(index, result); };
        auto boxes = std::make_unique<Boxes>(std::vector<QMessageBox::StandardButton>{QMessageBox::Ok});
        whenModal<CTARNConfirmDlg>([&](CTARNConfirmDlg* d) {
            EXPECT_TRUE(waitUntil([&] { return boxes->texts.size() == 1; }));
            EXPECT_TRUE(d->serialNumber()->text().isEmpty());
            d->reject();
        });
        dialog.run();
        EXPECT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
        EXPECT_EQ(boxes->texts, QStringList{QString::fromLatin1(text)});
    }
}

}  // namespace
}  // namespace tarn
