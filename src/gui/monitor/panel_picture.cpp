#include "gui/monitor/panel_picture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "link/common/qt_bytes.h"

namespace tarn {

namespace {

const QColor kWhite{255, 255, 255};
const QColor kBlack{0, 0, 0};

// A box drawn as the panel's rectangles are: (left, top) to (right, bottom), the right and bottom
// edges outside, a 1-pixel outline inside the box.
void box(QPainter& p, int left, int top, int right, int bottom, const QColor& fill, const QColor& outline) {
    const QRect r(QPoint(left, top), QPoint(right - 1, bottom - 1));
    p.fillRect(r, fill);
    p.setPen(QPen(outline, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

QFont panelFont(int pixelSize, bool bold = false) {
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// Text whose top-left corner stands at (x, y), on its own background.
void textAt(QPainter& p, int x, int y, const QString& text, const QColor& colour) {
    p.setPen(colour);
    p.drawText(QRect(x, y, 200, 20), Qt::AlignLeft | Qt::AlignTop, text);
}

void centred(QPainter& p, const QRect& r, const QString& text, const QColor& colour) {
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void screw(QPainter& p, int cx, int cy) {
    p.setPen(QPen(QColor(70, 76, 84), 1));
    p.setBrush(QColor(176, 182, 190));
    p.drawEllipse(QPointF(cx, cy), 5, 5);
    p.setPen(QPen(QColor(90, 96, 104), 1.5));
    p.drawLine(QPointF(cx - 3, cy), QPointF(cx + 3, cy));
}

// A terminal block: a green strip with one screw per port, drawn above or below a port row.
void terminals(QPainter& p, int firstCentre, int step, int count, int top) {
    const int left = firstCentre - step / 2 + 2;
    const int width = step * count - 4;
    QLinearGradient g(0, top, 0, top + 22);
    g.setColorAt(0, QColor(46, 125, 80));
    g.setColorAt(1, QColor(28, 88, 55));
    p.setPen(QPen(QColor(16, 56, 34), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(left + 0.5, top + 0.5, width, 22), 3, 3);
    for (int k = 0; k < count; ++k) screw(p, firstCentre + step * k, top + 11);
}

void portLabels(QPainter& p, const QString& prefix, int firstCentre, int step, int count, int top) {
    p.setFont(panelFont(10, true));
    for (int k = 0; k < count; ++k)
        centred(p, QRect(firstCentre + step * k - 20, top, 40, 12), prefix + QString::number(k + 1),
                QColor(214, 220, 228));
}

void networkJack(QPainter& p, int x, int y) {
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(196, 200, 206));
    p.drawRoundedRect(QRectF(x + 0.5, y + 0.5, 64, 56), 4, 4);
    p.setBrush(QColor(24, 24, 26));
    QPainterPath socket;
    socket.addRect(x + 10, y + 14, 44, 34);
    socket.addRect(x + 22, y + 8, 20, 8);
    p.drawPath(socket.simplified());
    p.setPen(QPen(QColor(212, 175, 55), 2));
    for (int k = 0; k < 8; ++k) p.drawLine(x + 15 + 5 * k, y + 16, x + 15 + 5 * k, y + 24);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 220, 90));
    p.drawRect(x + 4, y + 4, 7, 4);
    p.setBrush(QColor(250, 190, 40));
    p.drawRect(x + 53, y + 4, 7, 4);
}

void serialConnector(QPainter& p, int x, int y) {
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(196, 200, 206));
    p.drawRoundedRect(QRectF(x + 0.5, y + 0.5, 96, 50), 4, 4);
    screw(p, x + 10, y + 25);
    screw(p, x + 86, y + 25);
    QPainterPath shell;
    shell.moveTo(x + 20, y + 10);
    shell.lineTo(x + 76, y + 10);
    shell.lineTo(x + 70, y + 40);
    shell.lineTo(x + 26, y + 40);
    shell.closeSubpath();
    p.setBrush(QColor(24, 24, 26));
    p.drawPath(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(212, 175, 55));
    for (int k = 0; k < 5; ++k) p.drawEllipse(QPointF(x + 32 + 8 * k, y + 19), 2, 2);
    for (int k = 0; k < 4; ++k) p.drawEllipse(QPointF(x + 36 + 8 * k, y + 31), 2, 2);
}

void statusLed(QPainter& p, int x, int y, const QColor& colour, const QString& name) {
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(colour);
    p.drawEllipse(QPointF(x, y), 4, 4);
    p.setFont(panelFont(9, true));
    textAt(p, x + 8, y - 6, name, QColor(190, 198, 208));
}

// The device itself: an enclosure with the product plate, the link connector of the mode, the
// terminal blocks of the three port rows and their names.
void drawDevice(QPainter& p, LinkMode mode) {
    QLinearGradient wall(0, 0, 0, kPanelHeight);
    wall.setColorAt(0, QColor(222, 226, 232));
    wall.setColorAt(1, QColor(196, 202, 210));
    p.fillRect(QRect(0, 0, kPanelWidth, kPanelHeight), wall);

    // DIN rail behind the enclosure.
    p.fillRect(QRect(0, 236, kPanelWidth, 34), QColor(168, 174, 182));
    p.fillRect(QRect(0, 240, kPanelWidth, 26), QColor(186, 192, 200));

    QLinearGradient body(0, 12, 0, 450);
    body.setColorAt(0, QColor(64, 74, 88));
    body.setColorAt(1, QColor(38, 44, 54));
    p.setPen(QPen(QColor(20, 24, 30), 2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(140, 12, 556, 438), 10, 10);

    terminals(p, 176, 53, 10, 10);
    portLabels(p, QStringLiteral("OUT"), 176, 53, 10, 70);
    p.setFont(panelFont(11, true));
    textAt(p, 160, 88, QStringLiteral("DIGITAL OUTPUT"), QColor(150, 200, 255));

    terminals(p, 257, 27, 4, 392);
    terminals(p, 365, 27, 12, 392);
    // Below the terminals: the level labels of the ADC ports take the room above and below the row.
    portLabels(p, QStringLiteral("AD"), 257, 27, 4, 418);
    portLabels(p, QStringLiteral("I"), 365, 27, 12, 418);
    p.setFont(panelFont(11, true));
    textAt(p, 246, 296, QStringLiteral("ANALOG IN"), QColor(150, 200, 255));
    textAt(p, 356, 296, QStringLiteral("DIGITAL INPUT"), QColor(150, 200, 255));

    // The product plate.
    QLinearGradient plate(0, 130, 0, 250);
    plate.setColorAt(0, QColor(236, 239, 243));
    plate.setColorAt(1, QColor(206, 212, 220));
    p.setPen(QPen(QColor(120, 128, 140), 1));
    p.setBrush(plate);
    p.drawRoundedRect(QRectF(300.5, 130.5, 250, 120), 6, 6);
    p.setFont(panelFont(40, true));
    centred(p, QRect(300, 138, 250, 56), QStringLiteral("TARN"), QColor(28, 58, 112));
    p.setFont(panelFont(12));
    centred(p, QRect(300, 196, 250, 18), QStringLiteral("Remote I/O Controller"), QColor(50, 58, 70));
    p.setFont(panelFont(10));
    centred(p, QRect(300, 216, 250, 16), QStringLiteral("10 DO  \u00b7  12 DI  \u00b7  4 AI"), QColor(80, 88, 100));

    p.setFont(panelFont(10, true));
    if (mode == LinkMode::Serial) {
        serialConnector(p, 168, 160);
        textAt(p, 186, 214, QStringLiteral("RS-232"), QColor(214, 220, 228));
    } else {
        networkJack(p, 184, 156);
        textAt(p, 182, 216, QStringLiteral("LAN 10/100"), QColor(214, 220, 228));
    }
}

}  // namespace

QColor portFill(const PortIndicator& port) {
    if (port.unknown()) return PanelColour::disabled;
    if (port.showsLevel()) return PanelColour::timed;
    switch (port.state) {
        case DisplayState::On:
            return PanelColour::on;
        case DisplayState::Off:
            return PanelColour::off;
        case DisplayState::DelayOn:
        case DisplayState::DelayOff:
        case DisplayState::Macro:
        case DisplayState::Pulse:
            return PanelColour::timed;
        default:
            return PanelColour::disabled;
    }
}

void drawStatusLights(QPainter& p, LinkMode mode, bool lit) {
    // Dark, a light takes the enclosure's colour; its name stays readable.
    const QColor dark(58, 64, 74);
    statusLed(p, 588, 150, lit ? QColor(60, 220, 80) : dark, QStringLiteral("PWR"));
    statusLed(p, 588, 172, lit ? QColor(60, 220, 80) : dark, QStringLiteral("RUN"));
    statusLed(p, 588, 194, lit ? QColor(250, 190, 40) : dark,
              mode == LinkMode::Serial ? QStringLiteral("TX/RX") : QStringLiteral("LINK"));
}

void drawPort(QPainter& p, const PortIndicator& port) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kWhite, 1));
    p.setBrush(portFill(port));
    p.drawEllipse(QRectF(port.left + 0.5, port.top + 0.5, kPortDiameter - 1, kPortDiameter - 1));
    p.setRenderHint(QPainter::Antialiasing, false);

    if (port.unknown()) {
        // Never read: grey with a question mark, nothing else that could pass for the device's word.
        p.setFont(panelFont(11, true));
        centred(p, QRect(port.left, port.top, kPortDiameter, kPortDiameter), QStringLiteral("?"), kWhite);
        p.restore();
        return;
    }

    QString letter;
    int letterX = port.left + 11;
    switch (port.state) {
        case DisplayState::DelayOn:
        case DisplayState::DelayOff:
            letter = QStringLiteral("D");
            break;
        case DisplayState::Macro:
            letter = QStringLiteral("M");
            letterX = port.left + 10;
            break;
        case DisplayState::Pulse:
            letter = QStringLiteral("P");
            break;
        default:
            break;
    }
    if (!letter.isEmpty()) {
        const QColor fill = port.state == DisplayState::DelayOn ? PanelColour::delayOnBadge : PanelColour::badge;
        box(p, port.left + 9, port.top + 8, port.left + 23, port.top + 26, fill, PanelColour::badgeOutline);
        p.setFont(panelFont(11, true));
        textAt(p, letterX, port.top + 9, letter, kWhite);
    }

    if (port.showsLevel()) {
        const bool below = port.number % 2 == 0;
        const int top = below ? port.bottom + 5 : port.top - 23;
        box(p, port.left - 8, top, port.left + 27, top + 18, PanelColour::badge, PanelColour::badgeOutline);
        p.setFont(panelFont(11, true));
        textAt(p, port.left - 7, top + 1, latin1(port.label), kWhite);
    }
    p.restore();
}

QPixmap composePanelBackground(LinkMode mode, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(kPanelWidth, kPanelHeight) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter p(&pixmap);
    drawDevice(p, mode);

    box(p, 155, 35, 676, 65, kBlack, kWhite);
    box(p, 240, 330, 680, 360, kBlack, kWhite);
    box(p, 5, 478, 625, 518, kBlack, kWhite);
    for (const PortIndicator& icon : legendIcons()) drawPort(p, icon);

    box(p, 5, 459, 97, 479, PanelColour::badge, PanelColour::badgeOutline);
    p.setFont(panelFont(11, true));
    textAt(p, 11, 461, QStringLiteral("Sample Icon"), kWhite);

    p.setFont(panelFont(9));
    for (const LegendEntry& entry : kLegend) textAt(p, entry.wordX, kLegendWordY, latin1(entry.word), kWhite);
    return pixmap;
}

}  // namespace tarn
