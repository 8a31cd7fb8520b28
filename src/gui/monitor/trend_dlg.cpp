#include "gui/monitor/trend_dlg.h"

#include <cmath>

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include "core/common/file_io.h"
#include "core/monitor/io_history.h"

namespace tarn {

namespace {

// An input's lane: input i (from 0) is drawn between i and i + 1, high when on.
constexpr double kLaneLow = 0.15;
constexpr double kLaneHigh = 0.75;

double laneValue(int i, PortStateCode code) { return i + (code == PortStateCode::On ? kLaneHigh : kLaneLow); }

bool inputKnown(PortStateCode code) { return code == PortStateCode::On || code == PortStateCode::Off; }

}  // namespace

// A chart that forwards the wheel (zoom around the mouse) and drags (pan) to its dialog.
class TrendChartView : public QChartView {
public:
    TrendChartView(QChart* chart, CTrendDlg* dialog) : QChartView(chart, dialog), dialog_(dialog) {
        setRenderHint(QPainter::Antialiasing);
        setRubberBand(QChartView::NoRubberBand);
    }

protected:
    void wheelEvent(QWheelEvent* event) override {
        const auto at = static_cast<std::int64_t>(chart()->mapToValue(event->position()).x());
        dialog_->zoom(event->angleDelta().y() > 0 ? 0.8 : 1.25, at);
        event->accept();
    }
    void mousePressEvent(QMouseEvent* event) override {
        dragFrom_ = event->position().x();
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton)) return;
        const double width = chart()->plotArea().width();
        const TrendWindow& w = dialog_->window();
        if (width > 0) {
            const double msPerPixel = static_cast<double>(w.to() - w.from()) / width;
            dialog_->pan(static_cast<std::int64_t>((dragFrom_ - event->position().x()) * msPerPixel));
        }
        dragFrom_ = event->position().x();
        event->accept();
    }

private:
    CTrendDlg* dialog_;
    double dragFrom_ = 0;
};

TrendLine::TrendLine(QChart* chart, const QString& name, QAbstractAxis* valueAxis)
    : settled_(new QLineSeries), newest_(new QLineSeries) {
    settled_->setName(name);
    for (QLineSeries* series : {settled_, newest_}) {
        chart->addSeries(series);
        series->attachAxis(valueAxis);
        series->attachAxis(chart->axes(Qt::Horizontal).first());
    }
    newest_->setPen(settled_->pen());
    chart->legend()->markers(newest_).first()->setVisible(false);
}

QList<QPointF> TrendLine::points() const {
    QList<QPointF> points = settled_->points();
    points += newest_->points().mid(points.isEmpty() ? 0 : 1);
    return points;
}

void TrendLine::show(const QList<QPointF>& points, double newestColumnMs) {
    qsizetype split = points.size();
    while (split > 0 && points[split - 1].x() >= newestColumnMs) --split;
    const QList<QPointF> settled = points.first(split);
    // The newest column goes on from the last settled point, so that the line has no gap.
    const QList<QPointF> newest = points.mid(std::max<qsizetype>(0, split - 1));
    if (settled_->points() != settled) settled_->replace(settled);
    if (newest_->points() != newest) newest_->replace(newest);
}

void TrendLine::clear() {
    settled_->clear();
    newest_->clear();
}

CTrendDlg::CTrendDlg(const IoHistory& history, QWidget* parent) : QDialog(parent), history_(history) {
    setWindowTitle(QStringLiteral("Trend"));
    setModal(false);
    resize(900, 760);

    auto* adcChart = new QChart;
    adcChart->setTitle(QStringLiteral("ADC values"));
    auto* adcAxis = new QValueAxis;
    adcAxis->setRange(0, 1023);
    adcAxis->setLabelFormat(QStringLiteral("%d"));
    auto* inputChart = new QChart;
    inputChart->setTitle(QStringLiteral("Inputs"));
    auto* laneAxis = new QCategoryAxis;
    for (int i = 0; i < kIoInputCount; ++i) laneAxis->append(QStringLiteral("in%1").arg(i + 1), i + 1);
    laneAxis->setRange(0, kIoInputCount);
    QFont small = laneAxis->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.75);
    laneAxis->setLabelsFont(small);
    for (QChart* chart : {adcChart, inputChart}) {
        chart->legend()->setAlignment(Qt::AlignTop);  // the two plots keep one width, their times aligned
        chart->setMargins(QMargins(4, 4, 4, 4));
    }
    inputChart->legend()->hide();
    adcChart->addAxis(adcAxis, Qt::AlignLeft);
    inputChart->addAxis(laneAxis, Qt::AlignLeft);
    for (std::size_t n = 0; n < timeAxes_.size(); ++n) {
        timeAxes_[n] = new QDateTimeAxis;
        timeAxes_[n]->setFormat(QStringLiteral("HH:mm:ss"));
        timeAxes_[n]->setTickCount(7);
        (n == 0 ? adcChart : inputChart)->addAxis(timeAxes_[n], Qt::AlignBottom);
    }
    lines_.reserve(kIoAdcCount + kIoInputCount);
    for (int k = 0; k < kIoAdcCount; ++k) lines_.emplace_back(adcChart, QStringLiteral("ADC %1").arg(k + 1), adcAxis);
    for (int i = 0; i < kIoInputCount; ++i) {
        lines_.emplace_back(inputChart, QStringLiteral("Input %1").arg(i + 1), laneAxis);
    }

    adcView_ = new TrendChartView(adcChart, this);
    inputView_ = new TrendChartView(inputChart, this);
    state_ = new QLabel(this);
    export_ = new QPushButton(QStringLiteral("Export CSV..."), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {export_, close}) b->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(adcView_, 1);
    layout->addWidget(inputView_, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(state_, 1);
    row->addWidget(export_);
    row->addWidget(close);
    layout->addLayout(row);
    connect(export_, &QPushButton::clicked, this, &CTrendDlg::OnExportCsv);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    takeNewSamples();
    showWindow();
}

void CTrendDlg::takeNewSamples() {
    if (history_.recorded() == seen_) return;
    seen_ = history_.recorded();
    if (history_.size() == 0) return;
    window_.setExtent(history_.at(0).timeMs(), history_.at(history_.size() - 1).timeMs());
    showWindow();
}

// The samples from the last one before `ms` on (polls are recorded in time order).
std::size_t CTrendDlg::indexBefore(std::int64_t ms) const {
    std::size_t lo = 0, hi = history_.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (history_.at(mid).timeMs() < ms) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo > 0 ? lo - 1 : 0;
}

// The series hold only what the view shows, so that a day of polls paints as fast as a minute: the
// samples in the view and one beyond each edge; an ADC line keeps its lowest and highest value of
// each pixel column, an input its changes. The ADC lines come first, then the inputs.
CTrendDlg::Columns CTrendDlg::columns() const {
    const std::int64_t span = window_.to() - window_.from();
    const int width = std::max(100, adcView_->width());
    double ms = std::max(1.0, static_cast<double>(span) / width);
    std::int64_t shown = span;
    if (window_.following() && window_.showsAll() && history_.size() < history_.capacity()) {
        // The whole recording grows at every poll until the ring is full. Column widths in steps
        // of 1/32 octave keep the columns while it grows by up to 2 %, the room for that left of
        // the oldest poll. (A full ring drops its oldest poll at every poll: there the view starts
        // after it.)
        ms = std::exp2(std::ceil(std::log2(ms) * 32) / 32);
        shown = static_cast<std::int64_t>(std::ceil(ms * width));
    }
    const double newest =
        history_.size() ? std::floor(static_cast<double>(history_.at(history_.size() - 1).timeMs()) / ms) * ms : 0;
    if (!window_.following()) return {window_.from(), window_.to(), ms, newest};
    // Following, the view ends with the newest pixel column: the axes move a column at a time, not
    // at every poll, and a poll within the column changes only that column.
    const auto to = static_cast<std::int64_t>(std::ceil((std::floor(static_cast<double>(window_.to()) / ms) + 1) * ms));
    return {to - shown, to, ms, newest};
}

CTrendDlg::Lines CTrendDlg::plot(const Columns& view) const {
    Lines lines;
    const std::size_t first = history_.size() ? indexBefore(view.from) : 0;
    const std::size_t end = history_.size() ? std::min(history_.size(), indexBefore(view.to) + 2) : 0;
    // Each sample's time and column, worked out once for the 16 lines.
    struct Slot {
        const IoSample* sample;
        double x;
        std::int64_t column;
    };
    std::vector<Slot> samples;
    samples.reserve(end - first);
    for (std::size_t n = first; n < end; ++n) {
        const IoSample& sample = history_.at(n);
        const auto x = static_cast<double>(sample.timeMs());
        samples.push_back({&sample, x, static_cast<std::int64_t>(std::floor(x / view.ms))});
    }
    for (int k = 0; k < kIoAdcCount; ++k) {
        QList<QPointF>& points = lines[static_cast<std::size_t>(k)];
        std::int64_t column = -1;
        QPointF low, high;
        const auto flush = [&] {
            if (column < 0) return;
            points.append(low.x() <= high.x() ? low : high);
            if (low != high) points.append(low.x() <= high.x() ? high : low);
        };
        for (const Slot& slot : samples) {
            const std::uint16_t value = slot.sample->adcValue(k);
            if (value == IoSample::kNoAdcValue) continue;
            const QPointF p(slot.x, value);
            const std::int64_t c = slot.column;
            if (c != column) {
                flush();
                column = c;
                low = high = p;
            } else if (p.y() < low.y()) {
                low = p;
            } else if (p.y() > high.y()) {
                high = p;
            }
        }
        flush();
    }
    for (int i = 0; i < kIoInputCount; ++i) {
        // A change is a step; more changes within one pixel column make one bar over the lane.
        const double low = laneValue(i, PortStateCode::Off), high = laneValue(i, PortStateCode::On);
        QList<QPointF>& points = lines[static_cast<std::size_t>(kIoAdcCount + i)];
        double last = -1, lastX = 0, beforeStep = -1, stepX = 0;
        std::int64_t stepColumn = -1;
        qsizetype stepAt = 0;
        for (const Slot& slot : samples) {
            const PortStateCode code = slot.sample->input(i);
            if (!inputKnown(code)) continue;
            const double y = laneValue(i, code);
            lastX = slot.x;
            const std::int64_t c = slot.column;
            if (last < 0) {
                points.append({lastX, y});
            } else if (y != last && c == stepColumn) {
                points.resize(stepAt);
                points.append({stepX, beforeStep});
                if (y == beforeStep) points.append({stepX, beforeStep == low ? high : low});
                points.append({stepX, y});
            } else if (y != last) {
                stepColumn = c;
                stepAt = points.size();
                stepX = lastX;
                beforeStep = last;
                points.append({lastX, last});  // a step, not a slope
                points.append({lastX, y});
            }
            last = y;
        }
        if (last >= 0 && points.last().x() != lastX) points.append({lastX, last});
    }
    return lines;
}

void CTrendDlg::showWindow() {
    const Columns view = columns();
    const Lines lines = plot(view);
    // Qt Charts outlines every point of a series again both when an axis moves and when the series'
    // points change. Emptying the lines before the axes move outlines each line once.
    const QDateTime axisFrom = QDateTime::fromMSecsSinceEpoch(view.from);
    const QDateTime axisTo = QDateTime::fromMSecsSinceEpoch(view.to);
    if (timeAxes_[0]->min() != axisFrom || timeAxes_[0]->max() != axisTo) {
        for (TrendLine& line : lines_) line.clear();
        for (QDateTimeAxis* axis : timeAxes_) axis->setRange(axisFrom, axisTo);
    }
    for (std::size_t n = 0; n < lines_.size(); ++n) lines_[n].show(lines[n], view.newest);
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(window_.from());
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(window_.to());
    const double kib = static_cast<double>(history_.bytes()) / 1024.0;
    state_->setText(QStringLiteral("%1 polls recorded (%2 KiB) · %3")
                        .arg(history_.size())
                        .arg(kib, 0, 'f', 1)
                        .arg(window_.following() ? QStringLiteral("following the newest poll")
                                                 : QStringLiteral("%1 to %2, Home follows the newest poll")
                                                       .arg(from.toString(QStringLiteral("HH:mm:ss")),
                                                            to.toString(QStringLiteral("HH:mm:ss")))));
}

void CTrendDlg::zoom(double factor, std::int64_t anchorMs) {
    window_.zoom(factor, anchorMs);
    showWindow();
}

void CTrendDlg::pan(std::int64_t deltaMs) {
    window_.pan(deltaMs);
    showWindow();
}

void CTrendDlg::follow() {
    window_.follow();
    showWindow();
}

void CTrendDlg::keyPressEvent(QKeyEvent* event) {
    const std::int64_t quarter = (window_.to() - window_.from()) / 4;
    const std::int64_t middle = window_.from() + 2 * quarter;
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            return zoom(0.8, middle);
        case Qt::Key_Minus:
            return zoom(1.25, middle);
        case Qt::Key_Left:
            return pan(-quarter);
        case Qt::Key_Right:
            return pan(quarter);
        case Qt::Key_Home:
            return follow();
        default:
            QDialog::keyPressEvent(event);
    }
}

bool CTrendDlg::exportCsv(const QString& path, QString* error) const {
    std::string text = ioSampleCsvHeader() + '\n';
    text.reserve(text.size() + history_.size() * 96);
    for (std::size_t i = 0; i < history_.size(); ++i) text += ioSampleCsvLine(history_.at(i)) + '\n';
    std::string why;
    if (writeFileAtomically(path.toStdString(), text, 0644, &why)) return true;
    *error = QString::fromStdString(why);
    return false;
}

void CTrendDlg::OnExportCsv() {
    auto* dialog = new QFileDialog(this, QStringLiteral("Export CSV"), QStringLiteral("trend.csv"),
                                   QStringLiteral("CSV files (*.csv);;All files (*)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        QString error;
        if (exportCsv(path, &error)) return;
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("TARN Manager"),
                                    QStringLiteral("Cannot write %1: %2").arg(path, error), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    dialog->open();
}

}  // namespace tarn
