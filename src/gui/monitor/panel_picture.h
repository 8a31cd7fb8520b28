// The monitor panel's drawing: the device picture (our own artwork, drawn in code, one for each link
// mode) with the port rows and the legend composed once, and one port circle with its badge and
// level label. Sizes are in the panel's 755 x 529 logical pixels; the pixmap is made for the
// screen's device pixel ratio so it stays sharp on high-density screens.
#pragma once

#include <QColor>
#include <QPixmap>

#include "core/common/serial_settings.h"
#include "core/monitor/panel_ports.h"

class QPainter;

namespace tarn {

namespace PanelColour {
inline const QColor disabled{150, 150, 150};
inline const QColor on{255, 0, 0};
inline const QColor off{0, 0, 255};
inline const QColor timed{0, 255, 0};  // delay on/off, macro, pulse, and an ADC port with its level
inline const QColor delayOnBadge{128, 0, 0};
inline const QColor badge{49, 106, 197};  // other badges, level labels, "Sample Icon"
inline const QColor badgeOutline{236, 233, 216};
}  // namespace PanelColour

// The fill of a port's circle.
QColor portFill(const PortIndicator& port);

// The device picture with the row backgrounds, the legend icons, "Sample Icon" and the legend words.
QPixmap composePanelBackground(LinkMode mode, qreal devicePixelRatio);

// The device's PWR, RUN and LINK (TX/RX on a serial link) lights over the background: lit while the
// device answers, dark otherwise.
void drawStatusLights(QPainter& painter, LinkMode mode, bool lit);

// One port: its circle, the badge of a timed or macro state, and an ADC port's level label (above
// the row for odd port numbers, below for even ones, so neighbours never overlap).
void drawPort(QPainter& painter, const PortIndicator& port);

}  // namespace tarn
