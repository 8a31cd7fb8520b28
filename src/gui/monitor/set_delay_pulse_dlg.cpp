#include "gui/monitor/set_delay_pulse_dlg.h"

#include <vector>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/iolink/io_limits.h"
#include "core/monitor/macro_rules.h"
#include "link/common/qt_bytes.h"

namespace tarn {

namespace {

QLineEdit* timeEditor(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(static_cast<int>(kDelayPulseTimeDigits));
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setFixedWidth(70);
    return edit;
}

void radioPair(QWidget* parent, QRadioButton* a, QRadioButton* b) {
    auto* group = new QButtonGroup(parent);
    group->addButton(a, 0);
    group->addButton(b, 1);
}

}  // namespace

CSetDelayPulseDlg::CSetDelayPulseDlg(IoRequester& io, Prompter& prompter, QWidget* parent)
    : PortDialog(QStringLiteral("Setting Output port"), false, prompter, parent), chain_(io, prompter_) {
    attach(chain_);
    auto* layout = new QVBoxLayout(this);
    addPortRow(layout, QStringLiteral("Port No.:"));

    enable_ = new QRadioButton(QStringLiteral("Port Enable"), this);
    disable_ = new QRadioButton(QStringLiteral("Port Disable"), this);
    radioPair(this, enable_, disable_);
    auto* enableRow = new QHBoxLayout;
    enableRow->addWidget(enable_);
    enableRow->addWidget(disable_);
    enableRow->addStretch();
    layout->addLayout(enableRow);

    auto* macroGroup = new QGroupBox(QStringLiteral("MACRO"), this);
    auto* macroGrid = new QGridLayout(macroGroup);
    useMacro_ = new QCheckBox(QStringLiteral("Use Macro"), macroGroup);
    macro_ = new QLineEdit(macroGroup);
    macro_->setMaxLength(static_cast<int>(kMaxMacroTextLength));
    macro_->setPlaceholderText(QStringLiteral("e.g. O1&!I2|A3"));
    macroGrid->addWidget(useMacro_, 0, 0);
    macroGrid->addWidget(new QLabel(QStringLiteral("Port Macro"), macroGroup), 0, 1);
    macroGrid->addWidget(new QLabel(QStringLiteral("Macro:"), macroGroup), 1, 0);
    macroGrid->addWidget(macro_, 1, 1);
    layout->addWidget(macroGroup);

    auto* pulseGroup = new QGroupBox(QStringLiteral("Delay/Pulse"), this);
    auto* pulseLayout = new QVBoxLayout(pulseGroup);
    useDelayPulse_ = new QCheckBox(QStringLiteral("Use Delay/Pulse"), pulseGroup);
    pulseLayout->addWidget(useDelayPulse_);
    modeGroup_ = new QButtonGroup(this);
    const QString titles[3] = {QStringLiteral("Delay On"), QStringLiteral("Delay Off"), QStringLiteral("Pulse")};
    const QString limits[3] = {QStringLiteral("Input delay on time (Limit: 0~5000)"),
                               QStringLiteral("Input delay off time (Limit: 0~5000)"),
                               QStringLiteral("Input delay on/off time (Limit: 0~5000)")};
    for (int k = 0; k < 4; ++k) times_[k] = timeEditor(pulseGroup);
    auto* boxes = new QHBoxLayout;
    for (int m = 0; m < 3; ++m) {
        auto* box = new QGroupBox(titles[m], pulseGroup);
        auto* grid = new QGridLayout(box);
        modes_[m] = new QRadioButton(titles[m], box);
        modeGroup_->addButton(modes_[m], m);
        grid->addWidget(modes_[m], 0, 0, 1, 3);
        grid->addWidget(new QLabel(limits[m], box), 1, 0, 1, 3);
        auto addTime = [&](int row, const QString& label, QLineEdit* edit) {
            grid->addWidget(new QLabel(label, box), row, 0);
            grid->addWidget(edit, row, 1);
            grid->addWidget(new QLabel(QStringLiteral("100msec"), box), row, 2);
        };
        if (m == 0) addTime(2, QStringLiteral("On time:"), times_[0]);
        if (m == 1) addTime(2, QStringLiteral("Off time:"), times_[1]);
        if (m == 2) {
            addTime(2, QStringLiteral("On time:"), times_[2]);
            addTime(3, QStringLiteral("Off time:"), times_[3]);
        }
        grid->setRowStretch(4, 1);
        boxes->addWidget(box);
    }
    pulseLayout->addLayout(boxes);
    layout->addWidget(pulseGroup);

    auto* powerGroup = new QGroupBox(QStringLiteral("Setting power stoppage rehabilitation "), this);
    auto* powerLayout = new QVBoxLayout(powerGroup);
    powerEnable_ = new QRadioButton(QStringLiteral("Enable power stoppage rehabilitation "), powerGroup);
    powerDisable_ = new QRadioButton(QStringLiteral("Disable power stoppage rehabilitation "), powerGroup);
    radioPair(this, powerEnable_, powerDisable_);
    powerLayout->addWidget(powerEnable_);
    powerLayout->addWidget(powerDisable_);
    layout->addWidget(powerGroup);
    addFoot(layout);

    // The operator's edits go straight into the chain's form.
    OutputPortForm& f = chain_.form();
    connect(enable_, &QRadioButton::toggled, this, [&f](bool on) { f.enableChoice = on ? 0 : 1; });
    connect(powerEnable_, &QRadioButton::toggled, this, [&f](bool on) { f.powerChoice = on ? 0 : 1; });
    connect(useMacro_, &QCheckBox::toggled, this, [this, &f](bool on) {
        f.useMacro = on;
        showForm();
    });
    connect(macro_, &QLineEdit::textEdited, this, &CSetDelayPulseDlg::onMacroEdited);
    connect(useDelayPulse_, &QCheckBox::toggled, this, [this, &f](bool on) {
        f.delayPulse.used = on;
        showForm();
    });
    connect(modeGroup_, &QButtonGroup::idToggled, this, [this, &f](int id, bool on) {
        if (!on) return;
        f.delayPulse.mode = static_cast<DelayPulseMode>(id);
        showForm();
    });
    std::string* timeFields[4] = {&f.delayPulse.delayOnTime, &f.delayPulse.delayOffTime, &f.delayPulse.pulseOnTime,
                                  &f.delayPulse.pulseOffTime};
    for (int k = 0; k < 4; ++k) {
        std::string* field = timeFields[k];
        connect(times_[k], &QLineEdit::textEdited, this,
                [field](const QString& text) { *field = text.toLatin1().toStdString(); });
    }
    chain_.selectMacro = [this](int start, int length) {
        macro_->setFocus(Qt::OtherFocusReason);
        macro_->setSelection(start, length);
    };
    showForm();
}

void CSetDelayPulseDlg::onMacroEdited(const QString& text) {
    const int cursor = macro_->cursorPosition();
    const MacroEditState state = filterMacroText(text.toLatin1().toStdString(), cursor, cursor);
    chain_.form().macro = state.text;
    const QString filtered = latin1(state.text);
    if (filtered != text) {
        const QSignalBlocker block(macro_);
        macro_->setText(filtered);
        macro_->setCursorPosition(state.selectionEnd);
    }
}

void CSetDelayPulseDlg::showForm() {
    const OutputPortForm& f = chain_.form();
    QObject* widgets[] = {enable_,    disable_,  useMacro_, macro_,       useDelayPulse_,
                          modeGroup_, modes_[0], modes_[1], modes_[2],    times_[0],
                          times_[1],  times_[2], times_[3], powerEnable_, powerDisable_};
    std::vector<QSignalBlocker> blockers;
    blockers.reserve(std::size(widgets));
    for (QObject* w : widgets) blockers.emplace_back(w);
    (f.enableChoice == 0 ? enable_ : disable_)->setChecked(true);
    useMacro_->setChecked(f.useMacro);
    if (macro_->text() != latin1(f.macro)) macro_->setText(latin1(f.macro));
    macro_->setEnabled(f.useMacro);
    const DelayPulseFields& d = f.delayPulse;
    useDelayPulse_->setChecked(d.used);
    modes_[static_cast<int>(d.mode)]->setChecked(true);
    const std::string* texts[4] = {&d.delayOnTime, &d.delayOffTime, &d.pulseOnTime, &d.pulseOffTime};
    const int mode = static_cast<int>(d.mode);
    const int editMode[4] = {0, 1, 2, 2};
    for (int k = 0; k < 4; ++k) {
        if (times_[k]->text() != latin1(*texts[k])) times_[k]->setText(latin1(*texts[k]));
        times_[k]->setEnabled(d.used && editMode[k] == mode);
    }
    for (QRadioButton* r : modes_) r->setEnabled(d.used);
    (f.powerChoice == 0 ? powerEnable_ : powerDisable_)->setChecked(true);
    settingButton()->setEnabled(chain_.settingOffered());
}

}  // namespace tarn
