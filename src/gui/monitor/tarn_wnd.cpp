#include "gui/monitor/tarn_wnd.h"

#include <QHelpEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QTime>
#include <QToolTip>

#include "core/monitor/monitor_interval.h"
#include "gui/common/frame_state.h"
#include "gui/monitor/panel_picture.h"
#include "gui/monitor/set_adc_level_dlg.h"
#include "gui/monitor/set_delay_pulse_dlg.h"
#include "gui/monitor/set_input_dlg.h"
#include "link/common/qt_bytes.h"

Q_LOGGING_CATEGORY(lcMonitor, "tarn.monitor")

namespace tarn {

CTARNWnd::CTARNWnd(const FrameState& frame, Prompter& prompter, QString intervalPath, QWidget* parent)
    : QWidget(parent),
      frame_(frame),
      intervalPath_(std::move(intervalPath)),
      prompter_(prompter),
      engine_(&prompter_, this),
      panel_(*this, engine_, prompter_),
      outputDialog_(new CSetDelayPulseDlg(engine_, prompter_, this)),
      adcDialog_(new CSetADCLevelDlg(engine_, prompter_, this)),
      inputDialog_(new CSetInputDlg(engine_, prompter_, this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(kPanelWidth, kPanelHeight);
    setCursor(Qt::PointingHandCursor);
    pollTimer_.setSingleShot(false);
    connect(&pollTimer_, &QTimer::timeout, this, [this] { panel_.onPollTimer(); });
    connect(&engine_, &CCommProcess::ioResult, this,
            [this](int index, int result) { panel_.onIoResult(index, result); });
    // Heard before the held requests fail, so the failure is told once and nothing is retried.
    connect(&engine_, &CCommProcess::openFailed, this, [this](const QString& reason) {
        qCWarning(lcMonitor) << "cannot open the I/O link:" << reason;
        panel_.onOpenFailed();
    });
    // At once, before the failed results of the requests: the open dialogs must know why they fail.
    // The question itself comes from the event loop (postReconnectQuestion).
    connect(&engine_, &CCommProcess::ioLinkLost, this, [this] {
        qCWarning(lcMonitor) << "I/O link lost:" << engine_.errorString();
        panel_.onLinkLost();
    });
    for (PortDialog* dialog : std::initializer_list<PortDialog*>{outputDialog_, adcDialog_, inputDialog_}) {
        connect(dialog, &QDialog::finished, this, [this, dialog] {
            if (openDialog_ != dialog) return;
            openDialog_ = nullptr;
            panel_.endPortDialog();
        });
    }
}

CTARNWnd::~CTARNWnd() {
    pollTimer_.stop();
    engine_.Disconnect();
}

void CTARNWnd::start() { panel_.start(loadMonitorInterval(intervalPath_.toStdString())); }

void CTARNWnd::SaveMonitorInterval() { storeMonitorInterval(intervalPath_.toStdString(), panel_.monitorInterval()); }

void CTARNWnd::Disconnect() {
    pollTimer_.stop();
    engine_.Disconnect();
}

bool CTARNWnd::connectLink() {
    if (frame_.linkMode == LinkMode::Serial) return engine_.OpenSerial(frame_.serial);
    return engine_.ConnectNetwork(QString::fromStdString(frame_.monitorAddress), frame_.monitorPort);
}

void CTARNWnd::setTitle(std::string_view title) { emit titleChanged(latin1(title)); }

void CTARNWnd::closePortDialog() {
    if (openDialog_) QMetaObject::invokeMethod(openDialog_.data(), &QDialog::reject, Qt::QueuedConnection);
}

void CTARNWnd::closeSerialFirmware() { emit serialFirmwareCloseRequested(); }

void CTARNWnd::postReconnectQuestion() {
    QMetaObject::invokeMethod(
        this, [this] { panel_.onReconnectQuestionDue(); }, Qt::QueuedConnection);
}

void CTARNWnd::goodStatusReceived() {
    emit lastGoodStatusChanged(QStringLiteral("Last good status: %1").arg(QTime::currentTime().toString("HH:mm:ss")));
}

bool CTARNWnd::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    const std::optional<PortRef> ref = panel_.portAt(at.x(), at.y());
    const PanelPorts& ports = panel_.ports();
    const PortIndicator* port = !ref                            ? nullptr
                                : ref->kind == PortKind::Output ? &ports.outputs[ref->number - 1]
                                : ref->kind == PortKind::Adc    ? &ports.adcPorts[ref->number - 1]
                                                                : &ports.inputs[ref->number - 1];
    if (port && port->unknown()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), latin1(kUnknownPortTip), this);
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

void CTARNWnd::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (background_.isNull() || backgroundRatio_ != ratio) {
        background_ = composePanelBackground(frame_.linkMode, ratio);
        backgroundRatio_ = ratio;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, background_);
    drawStatusLights(p, frame_.linkMode, panel_.lightsOn());
    const PanelPorts& ports = panel_.ports();
    for (const PortIndicator& port : ports.outputs) drawPort(p, port);
    for (const PortIndicator& port : ports.adcPorts) drawPort(p, port);
    for (const PortIndicator& port : ports.inputs) drawPort(p, port);
}

void CTARNWnd::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !panel_.leftClick(at.x(), at.y())) QWidget::mouseReleaseEvent(event);
}

void CTARNWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const std::optional<PortRef> port =
        event->button() == Qt::RightButton ? panel_.portAt(at.x(), at.y()) : std::nullopt;
    if (!port || panel_.closing() || openDialog_) {
        QWidget::mousePressEvent(event);
        return;
    }
    PortDialog* dialog = port->kind == PortKind::Output ? static_cast<PortDialog*>(outputDialog_)
                         : port->kind == PortKind::Adc  ? static_cast<PortDialog*>(adcDialog_)
                                                        : static_cast<PortDialog*>(inputDialog_);
    openDialog_ = dialog;
    panel_.beginPortDialog(dialog->chain());
    dialog->run(port->number);  // ends in the dialog's finished signal
}

}  // namespace tarn
