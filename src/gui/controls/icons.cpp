#include "gui/controls/icons.h"

#include <atomic>
#include <functional>

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

namespace tarn::icons {

namespace {

const QColor kWarm(214, 118, 24);

// Outlines and the blue accent, for a light and for a dark desktop.
struct Colors {
    QColor ink;
    QColor accent;
};
const Colors kOnLight{QColor(40, 62, 96), QColor(0, 122, 204)};
const Colors kOnDark{QColor(214, 226, 242), QColor(74, 166, 240)};

using Drawing = std::function<void(QPainter&, const Colors&)>;

// Draws a picture on a 32 x 32 canvas at whatever size and pixel ratio it is shown, so it stays sharp
// at any scale. Outlines are dark on a light desktop and light on a dark one; a picture that always
// sits on a light background of its own keeps the colours for a light one.
class DrawnIconEngine : public QIconEngine {
public:
    DrawnIconEngine(Drawing drawing, bool followsPalette)
        : drawing_(std::move(drawing)), followsPalette_(followsPalette), id_(nextId_++) {}

    QIconEngine* clone() const override { return new DrawnIconEngine(*this); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pm = render(rect.size() * ratio, mode);
        pm.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, pm);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override { return render(size, mode); }

    // QIcon asks for the size in device pixels already.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal) override {
        return render(size, mode);
    }

private:
    QPixmap render(const QSize& size, QIcon::Mode mode) const {
        if (size.isEmpty()) return {};
        const bool dark = followsPalette_ && QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
        const QString key = QStringLiteral("tarn-icon-%1-%2x%3-%4-%5")
                                .arg(id_)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(static_cast<int>(mode))
                                .arg(dark);
        QPixmap pm;
        if (QPixmapCache::find(key, &pm)) return pm;
        pm = QPixmap(size);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size.width() / 32.0, size.height() / 32.0);
            drawing_(p, dark ? kOnDark : kOnLight);
        }
        if (mode == QIcon::Disabled || mode == QIcon::Selected) {
            if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
                QStyleOption option;
                option.palette = QGuiApplication::palette();
                pm = app->style()->generatedIconPixmap(mode, pm, &option);
            }
        }
        QPixmapCache::insert(key, pm);
        return pm;
    }

    Drawing drawing_;
    bool followsPalette_;
    int id_;
    static inline std::atomic<int> nextId_{0};
};

QIcon drawn(Drawing drawing, bool followsPalette = true) {
    return QIcon(new DrawnIconEngine(std::move(drawing), followsPalette));
}

QPen pen(const QColor& c, double w = 2.5) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

}  // namespace

QIcon device() {
    // The device sits on the tree's own light background, and on its own light face elsewhere.
    return drawn(
        [](QPainter& p, const Colors& c) {
            p.setPen(pen(c.ink, 2));
            p.setBrush(QColor(220, 230, 242));
            p.drawRoundedRect(QRectF(4, 7, 24, 18), 3, 3);
            p.setPen(Qt::NoPen);
            const QColor leds[] = {QColor(46, 170, 80), QColor(46, 170, 80), kWarm, QColor(160, 170, 180)};
            for (int i = 0; i < 4; ++i) {
                p.setBrush(leds[i]);
                p.drawEllipse(QRectF(8 + i * 5, 12, 3.5, 3.5));
            }
            p.setBrush(c.ink);
            p.drawRect(QRectF(8, 19, 16, 2));
        },
        false);
}

QIcon quickConnect() {
    return drawn([](QPainter& p, const Colors& c) {
        p.setPen(pen(c.ink));
        p.setBrush(c.accent);
        p.drawRoundedRect(QRectF(9, 12, 14, 11), 2, 2);
        p.drawLine(QPointF(13, 12), QPointF(13, 5));
        p.drawLine(QPointF(19, 12), QPointF(19, 5));
        p.drawLine(QPointF(16, 23), QPointF(16, 29));
    });
}

QIcon probe() {
    return drawn([](QPainter& p, const Colors& c) {
        p.setBrush(Qt::NoBrush);
        p.setPen(pen(c.accent));
        for (int r : {6, 11, 16}) p.drawArc(QRectF(16 - r, 26 - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(c.ink);
        p.drawEllipse(QRectF(13, 23, 6, 6));
    });
}

QIcon setValues() {
    return drawn([](QPainter& p, const Colors& c) {
        p.setPen(pen(c.ink));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(5, 18), QPointF(5, 27), QPointF(27, 27), QPointF(27, 18)}));
        p.setPen(pen(QColor(46, 150, 70), 3));
        p.drawLine(QPointF(16, 4), QPointF(16, 20));
        p.drawPolyline(QPolygonF({QPointF(10, 14), QPointF(16, 20), QPointF(22, 14)}));
    });
}

QIcon reboot() {
    return drawn([](QPainter& p, const Colors&) {
        p.setPen(pen(kWarm, 3));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 6, 20, 20), 120 * 16, 300 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kWarm);
        p.drawPolygon(QPolygonF({QPointF(8, 3), QPointF(15, 9), QPointF(6, 12)}));
    });
}

QIcon clearLog() {
    return drawn([](QPainter& p, const Colors& c) {
        p.setPen(pen(c.ink));
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
    return drawn([](QPainter& p, const Colors& c) {
        p.setPen(pen(c.ink, 2));
        p.setBrush(c.accent);
        p.drawRoundedRect(QRectF(5, 5, 22, 22), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 5, 14, 8));
        p.drawRect(QRectF(9, 18, 14, 9));
    });
}

QIcon load() {
    return drawn([](QPainter& p, const Colors& c) {
        p.setPen(pen(c.ink, 2));
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
    return drawn([](QPainter& p, const Colors& c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c.accent);
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
