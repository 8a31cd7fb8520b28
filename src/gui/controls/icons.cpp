#include "gui/controls/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace tarn::icons {

namespace {

const QColor kInk(40, 62, 96);
const QColor kAccent(0, 122, 204);
const QColor kWarm(214, 118, 24);

// Draws on a 32 x 32 canvas and offers the picture at 16, 24 and 32 pixels.
QIcon drawn(const std::function<void(QPainter&)>& paint) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        paint(p);
        icon.addPixmap(pm);
    }
    return icon;
}

QPen pen(const QColor& c, double w = 2.5) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

}  // namespace

QIcon device() {
    return drawn([](QPainter& p) {
        p.setPen(pen(kInk, 2));
        p.setBrush(QColor(220, 230, 242));
        p.drawRoundedRect(QRectF(4, 7, 24, 18), 3, 3);
        p.setPen(Qt::NoPen);
        const QColor leds[] = {QColor(46, 170, 80), QColor(46, 170, 80), kWarm, QColor(160, 170, 180)};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(leds[i]);
            p.drawEllipse(QRectF(8 + i * 5, 12, 3.5, 3.5));
        }
        p.setBrush(kInk);
        p.drawRect(QRectF(8, 19, 16, 2));
    });
}

QIcon quickConnect() {
    return drawn([](QPainter& p) {
        p.setPen(pen(kInk));
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(9, 12, 14, 11), 2, 2);
        p.drawLine(QPointF(13, 12), QPointF(13, 5));
        p.drawLine(QPointF(19, 12), QPointF(19, 5));
        p.drawLine(QPointF(16, 23), QPointF(16, 29));
    });
}

QIcon probe() {
    return drawn([](QPainter& p) {
        p.setBrush(Qt::NoBrush);
        p.setPen(pen(kAccent));
        for (int r : {6, 11, 16}) p.drawArc(QRectF(16 - r, 26 - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawEllipse(QRectF(13, 23, 6, 6));
    });
}

QIcon setValues() {
    return drawn([](QPainter& p) {
        p.setPen(pen(kInk));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(5, 18), QPointF(5, 27), QPointF(27, 27), QPointF(27, 18)}));
        p.setPen(pen(QColor(46, 150, 70), 3));
        p.drawLine(QPointF(16, 4), QPointF(16, 20));
        p.drawPolyline(QPolygonF({QPointF(10, 14), QPointF(16, 20), QPointF(22, 14)}));
    });
}

QIcon reboot() {
    return drawn([](QPainter& p) {
        p.setPen(pen(kWarm, 3));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 6, 20, 20), 120 * 16, 300 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kWarm);
        p.drawPolygon(QPolygonF({QPointF(8, 3), QPointF(15, 9), QPointF(6, 12)}));
    });
}

QIcon clearLog() {
    return drawn([](QPainter& p) {
        p.setPen(pen(kInk));
        p.setBrush(QColor(240, 200, 80));
        p.drawEllipse(QRectF(4, 6, 11, 11));
        p.drawLine(QPointF(15, 11.5), QPointF(27, 11.5));
        p.drawLine(QPointF(24, 11.5), QPointF(24, 16));
        p.setPen(pen(QColor(200, 40, 40), 3));
        p.drawLine(QPointF(15, 19), QPointF(26, 29));
        p.drawLine(QPointF(26, 19), QPointF(15, 29));
    });
}

QIcon save() {
    return drawn([](QPainter& p) {
        p.setPen(pen(kInk, 2));
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(5, 5, 22, 22), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 5, 14, 8));
        p.drawRect(QRectF(9, 18, 14, 9));
    });
}

QIcon load() {
    return drawn([](QPainter& p) {
        p.setPen(pen(kInk, 2));
        p.setBrush(QColor(240, 200, 80));
        QPainterPath folder;
        folder.moveTo(4, 9);
        folder.lineTo(12, 9);
        folder.lineTo(14, 12);
        folder.lineTo(28, 12);
        folder.lineTo(28, 26);
        folder.lineTo(4, 26);
        folder.closeSubpath();
        p.drawPath(folder);
    });
}

QIcon help() {
    return drawn([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setPen(Qt::white);
        QFont f;
        f.setBold(true);
        f.setPixelSize(20);
        p.setFont(f);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QIcon application() { return device(); }

}  // namespace tarn::icons
