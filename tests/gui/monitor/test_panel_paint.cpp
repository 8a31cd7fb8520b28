// The monitor panel as painted: the colours of each state at the port circles, the badges, the ADC
// level labels alternating above and below the row, and the composed background.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "gui/monitor/panel_picture.h"

namespace tarn {
namespace {

QColor at(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

TEST(PanelPaint, StatesBadgesAndLabels) {
    PanelPorts ports;
    const DisplayState states[] = {DisplayState::On,      DisplayState::Off,   DisplayState::Disabled,
                                   DisplayState::DelayOn, DisplayState::Macro, DisplayState::Pulse};
    for (int k = 0; k < 6; ++k) {
        ports.outputs[k].state = states[k];
        ports.outputs[k].known = true;
    }
    ports.outputs[6].state = DisplayState::Off;  // never read: unknown, not Off
    for (int k = 0; k < kIoAdcCount; ++k) {
        ports.adcPorts[k].known = true;
        ports.adcPorts[k].state = DisplayState::On;
        ports.adcPorts[k].levelShown = k < 2;
        ports.adcPorts[k].label = "0512";
    }
    ports.adcPorts[1].state = DisplayState::Disabled;  // a label is never drawn for a disabled port

    QImage image(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
    {
        QPainter p(&image);
        p.drawPixmap(0, 0, composePanelBackground(LinkMode::Network, 1.0));
        for (const PortIndicator& port : ports.outputs) drawPort(p, port);
        for (const PortIndicator& port : ports.adcPorts) drawPort(p, port);
    }
    // Left of the badge, inside the circle.
    auto circle = [&](const PortIndicator& port) { return at(image, port.left + 4, port.top + 9); };
    EXPECT_EQ(circle(ports.outputs[0]), QColor(255, 0, 0));
    EXPECT_EQ(circle(ports.outputs[1]), QColor(0, 0, 255));
    EXPECT_EQ(circle(ports.outputs[2]), QColor(150, 150, 150));
    for (int k = 3; k < 6; ++k) EXPECT_EQ(circle(ports.outputs[k]), QColor(0, 255, 0)) << k;
    EXPECT_EQ(circle(ports.outputs[6]), QColor(150, 150, 150));
    // Badges: dark red for delay on, blue for the others, drawn over the lower right of the circle.
    auto badge = [&](const PortIndicator& port) { return at(image, port.left + 21, port.top + 20); };
    EXPECT_EQ(badge(ports.outputs[3]), QColor(128, 0, 0));
    EXPECT_EQ(badge(ports.outputs[4]), QColor(49, 106, 197));
    EXPECT_EQ(badge(ports.outputs[0]), QColor(0, 0, 0));  // no badge: the row background

    // ADC 1 (odd) shows its label above the row; ADC 2 is disabled: grey, no label.
    const PortIndicator& adc1 = ports.adcPorts[0];
    EXPECT_EQ(circle(adc1), QColor(0, 255, 0));
    EXPECT_EQ(at(image, adc1.left + 24, adc1.top - 8), QColor(49, 106, 197));
    EXPECT_NE(at(image, adc1.left + 24, adc1.bottom + 20), QColor(49, 106, 197));
    const PortIndicator& adc2 = ports.adcPorts[1];
    EXPECT_EQ(circle(adc2), QColor(150, 150, 150));
    EXPECT_NE(at(image, adc2.left + 24, adc2.bottom + 20), QColor(49, 106, 197));
    EXPECT_EQ(circle(ports.adcPorts[2]), QColor(255, 0, 0));

    // The background: row rectangles black inside, white outline; legend icons in their states.
    EXPECT_EQ(at(image, 160, 40), QColor(0, 0, 0));
    EXPECT_EQ(at(image, 155, 35), QColor(255, 255, 255));
    const auto icons = legendIcons();
    EXPECT_EQ(circle(icons[0]), QColor(255, 0, 0));
    EXPECT_EQ(circle(icons[1]), QColor(0, 0, 255));
    EXPECT_EQ(circle(icons[2]), QColor(150, 150, 150));
    EXPECT_EQ(badge(icons[4]), QColor(128, 0, 0));
}

TEST(PanelPaint, EvenAdcLabelsStandBelowTheRow) {
    PortIndicator adc = PanelPorts().adcPorts[3];
    adc.state = DisplayState::On;
    adc.known = true;
    adc.levelShown = true;
    adc.label = "1023";
    QImage image(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        drawPort(p, adc);
    }
    EXPECT_EQ(at(image, adc.left + 24, adc.bottom + 20), QColor(49, 106, 197));
    EXPECT_EQ(at(image, adc.left + 24, adc.top - 8), QColor(0, 0, 0));
}

}  // namespace
}  // namespace tarn
