#include "gui/monitor/trend_dlg.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFont>
#include <QGraphicsItem>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionGraphicsItem>
#include <QVBoxLayout>
#include <QValueAxis>

#include "core/common/file_io.h"
#include "core/monitor/io_history.h"
#include "core/monitor/trend_plot.h"
#include "gui/common/file_dialog.h"
#include "link/common/qt_bytes.h"

namespace tarn {

// A chart that forwards the wheel (zoom around the mouse) and drags (pan) to its dialog. Its grid
// and axes are drawn without antialiasing: they are upright and level, and a column step repaints
// them whole (TrendPlotItem antialiases the ADC lines itself).
class TrendChartView : public QChartView {
public:
    TrendChartView(QChart* chart, CTrendDlg* dialog) : QChartView(chart, dialog), dialog_(dialog) {
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

// An item over a chart's plot area that maps time across. While the axes stand still, only what
// changed is painted again.
class TrendAreaItem : public QGraphicsItem {
public:
    bool spans(double fromMs, double toMs) const { return from_ == fromMs && to_ == toMs; }
    void setSpan(double fromMs, double toMs) {
        from_ = fromMs;
        to_ = toMs;
        update();
    }
    // What it draws changed within `span`.
    void changed(const TrendSpan& span) {
        const double left = std::max(area_.left(), xOf(span.from) - 2 * kMaxPenWidth);
        const double right = std::min(area_.right(), xOf(span.to) + 2 * kMaxPenWidth);
        if (left < right) update(QRectF(left, area_.top(), right - left, area_.height()));
    }
    QRectF boundingRect() const override { return area_; }

protected:
    static constexpr double kMaxPenWidth = 3;

    TrendAreaItem(QChart* chart, double z) : QGraphicsItem(chart), area_(chart->plotArea()) {
        setFlag(ItemUsesExtendedStyleOption);
        setAcceptedMouseButtons(Qt::NoButton);
        setZValue(z);
        QObject::connect(chart, &QChart::plotAreaChanged, chart, [this](const QRectF& area) {
            prepareGeometryChange();
            area_ = area;
        });
    }
    bool drawable() const { return to_ > from_ && !area_.isEmpty(); }
    double xOf(double ms) const { return area_.left() + (ms - from_) * area_.width() / (to_ - from_); }
    double msOf(double x) const { return from_ + (x - area_.left()) * (to_ - from_) / area_.width(); }

    QRectF area_;
    double from_ = 0, to_ = 0;
};

// The stretches in which the polls brought no status, shaded between the plot area's background
// (Qt Charts' z 0) and its grid (z 2), in an opaque colour: a translucent fill of many stretches
// costs milliseconds a poll.
class TrendShadeItem : public TrendAreaItem {
public:
    TrendShadeItem(QChart* chart, const std::vector<TrendSpan>& outages)
        : TrendAreaItem(chart, 1.5), outages_(outages) {}

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) override {
        if (!drawable()) return;
        painter->setClipRect(area_);
        const double exposedFrom = msOf(option->exposedRect.left() - 1),
                     exposedTo = msOf(option->exposedRect.right() + 1);
        for (const TrendSpan& outage : outages_) {
            if (outage.to < exposedFrom || outage.from > exposedTo) continue;
            const double left = xOf(outage.from);
            painter->fillRect(QRectF(left, area_.top(), std::max(1.0, xOf(outage.to) - left), area_.height()),
                              QColor(250, 224, 224));
        }
    }

private:
    const std::vector<TrendSpan>& outages_;
};

// Draws the lines of one chart over its plot area and grid, the value up.
class TrendPlotItem : public TrendAreaItem {
public:
    TrendPlotItem(QChart* chart, std::span<const TrendLine> lines, double low, double high)
        : TrendAreaItem(chart, 10), lines_(lines), low_(low), high_(high) {}

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) override {
        if (!drawable()) return;
        painter->setClipRect(area_);
        // Each line from its last point left of the exposed region to its first right of it.
        const double exposedFrom = msOf(option->exposedRect.left() - kMaxPenWidth);
        const double exposedTo = msOf(option->exposedRect.right() + kMaxPenWidth);
        const auto earlier = [](const TrendPoint& p, double ms) { return p.x < ms; };
        const auto later = [](double ms, const TrendPoint& p) { return ms < p.x; };
        // Segment by segment, with a thin pen: the raster engine strokes a polyline, or a pen
        // wider than a pixel, as a path, many times slower.
        std::vector<QLineF> segments;
        for (const TrendLine& line : lines_) {
            const std::vector<TrendPoint>& points = line.points();
            auto begin = std::lower_bound(points.begin(), points.end(), exposedFrom, earlier);
            auto end = std::upper_bound(begin, points.end(), exposedTo, later);
            if (begin != points.begin()) --begin;
            if (end != points.end()) ++end;
            if (end - begin < 2) continue;
            if (line.smooth()) {
                segments.clear();
                for (auto p = begin; p + 1 != end; ++p) {
                    segments.emplace_back(xOf(p->x), yOf(p->y), xOf(p[1].x), yOf(p[1].y));
                }
                painter->setRenderHint(QPainter::Antialiasing);
                painter->setPen(line.pen());
                painter->drawLines(segments.data(), static_cast<int>(segments.size()));
            } else {
                fillSteps(painter, line, begin, end, option->exposedRect.toAlignedRect() & area_.toAlignedRect());
            }
        }
    }

private:
    // A step line goes left to right, upright and level, so in each pixel column it covers one run
    // of pixels (a bar where it changes more than once there). Fills those runs, neighbouring
    // columns with the same run as one rectangle: a day of a busy input is a few rectangles, not
    // thousands of segments.
    using Points = std::vector<TrendPoint>::const_iterator;
    void fillSteps(QPainter* painter, const TrendLine& line, Points begin, Points end, const QRect& exposed) {
        if (exposed.isEmpty()) return;
        const int width = std::max(1, line.pen().width());
        const auto pixel = [](double v) { return static_cast<int>(std::lround(v)); };
        constexpr std::pair<int, int> kNothing{std::numeric_limits<int>::max(), std::numeric_limits<int>::min()};
        runs_.assign(static_cast<std::size_t>(exposed.width()), kNothing);
        for (auto p = begin; p + 1 != end; ++p) {
            const int x1 = pixel(xOf(p->x)), x2 = pixel(xOf(p[1].x));
            const int y1 = pixel(yOf(p->y)), y2 = pixel(yOf(p[1].y));
            const int top = std::min(y1, y2) - width / 2, bottom = std::max(y1, y2) - width / 2 + width - 1;
            const int last = std::min(exposed.right(), std::max(x1, x2) - width / 2 + width - 1);
            for (int x = std::max(exposed.left(), std::min(x1, x2) - width / 2); x <= last; ++x) {
                auto& [runTop, runBottom] = runs_[static_cast<std::size_t>(x - exposed.left())];
                runTop = std::min(runTop, top);
                runBottom = std::max(runBottom, bottom);
            }
        }
        const QColor color = line.pen().color();
        for (std::size_t x = 0; x < runs_.size();) {
            std::size_t next = x + 1;
            while (next < runs_.size() && runs_[next] == runs_[x]) ++next;
            if (runs_[x] != kNothing) {
                painter->fillRect(exposed.left() + static_cast<int>(x), runs_[x].first, static_cast<int>(next - x),
                                  runs_[x].second - runs_[x].first + 1, color);
            }
            x = next;
        }
    }

    double yOf(double value) const { return area_.bottom() - (value - low_) * area_.height() / (high_ - low_); }

    std::span<const TrendLine> lines_;
    std::vector<std::pair<int, int>> runs_;  // fillSteps: the top and bottom pixel of each column
    double low_, high_;                      // the value axis
};

std::vector<TrendSpan> TrendLine::replace(std::vector<TrendPoint>&& points) {
    std::vector<TrendSpan> spans = changedSpans(points_, points);
    points_ = std::move(points);
    return spans;
}

CTrendDlg::CTrendDlg(const IoHistory& history, Prompter& prompter, QWidget* parent)
    : QDialog(parent), history_(history), prompter_(prompter) {
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
    // The series name the lines in the legend and give them the chart theme's pens; they hold no points.
    lines_.reserve(kIoAdcCount + kIoInputCount);
    const auto addLine = [this](QChart* chart, QAbstractAxis* valueAxis, const QString& name, bool smooth) {
        auto* series = new QLineSeries;
        series->setName(name);
        chart->addSeries(series);
        series->attachAxis(valueAxis);
        series->attachAxis(chart->axes(Qt::Horizontal).first());
        QPen pen = series->pen();
        if (smooth) {  // a thin line: see TrendPlotItem::paint
            pen.setWidth(1);
            pen.setCosmetic(true);
            series->setPen(pen);
        }
        lines_.emplace_back(pen, smooth);
    };
    for (int k = 0; k < kIoAdcCount; ++k) addLine(adcChart, adcAxis, QStringLiteral("ADC %1").arg(k + 1), true);
    for (int i = 0; i < kIoInputCount; ++i) {
        addLine(inputChart, laneAxis, QStringLiteral("Input %1").arg(i + 1), false);
    }
    const std::span<const TrendLine> lines(lines_);
    plots_[0] = new TrendPlotItem(adcChart, lines.first(kIoAdcCount), adcAxis->min(), adcAxis->max());
    plots_[1] = new TrendPlotItem(inputChart, lines.subspan(kIoAdcCount), laneAxis->min(), laneAxis->max());
    shades_ = {new TrendShadeItem(adcChart, outages_), new TrendShadeItem(inputChart, outages_)};

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

void CTrendDlg::showWindow() {
    const TrendColumns view = trendColumns(history_, window_, adcView_->width());
    TrendLines lines = plotTrend(history_, view);
    const auto from = static_cast<double>(view.from), to = static_cast<double>(view.to);
    if (!plots_[0]->spans(from, to)) {
        for (QDateTimeAxis* axis : timeAxes_) {
            axis->setRange(QDateTime::fromMSecsSinceEpoch(view.from), QDateTime::fromMSecsSinceEpoch(view.to));
        }
        for (TrendAreaItem* item : std::initializer_list<TrendAreaItem*>{plots_[0], plots_[1], shades_[0], shades_[1]})
            item->setSpan(from, to);
    }
    for (std::size_t n = 0; n < lines_.size(); ++n) {
        for (const TrendSpan& span : lines_[n].replace(std::move(lines[n]))) {
            plots_[n < kIoAdcCount ? 0 : 1]->changed(span);
        }
    }
    std::vector<TrendSpan> outages = trendOutages(history_, view);
    for (const TrendSpan& span : changedSpans(outages_, outages)) {
        for (TrendShadeItem* shade : shades_) shade->changed(span);
    }
    outages_ = std::move(outages);
    const QDateTime shownFrom = QDateTime::fromMSecsSinceEpoch(window_.from());
    const QDateTime shownTo = QDateTime::fromMSecsSinceEpoch(window_.to());
    const double kib = static_cast<double>(history_.bytes()) / 1024.0;
    state_->setText(QStringLiteral("%1 polls recorded (%2 KiB)%3 · %4")
                        .arg(history_.size())
                        .arg(kib, 0, 'f', 1)
                        .arg(outages_.empty() ? QString() : QStringLiteral(" · shaded: no status from the device"))
                        .arg(window_.following() ? QStringLiteral("following the newest poll")
                                                 : QStringLiteral("%1 to %2, Home follows the newest poll")
                                                       .arg(shownFrom.toString(QStringLiteral("HH:mm:ss")),
                                                            shownTo.toString(QStringLiteral("HH:mm:ss")))));
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

void CTrendDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    showWindow();
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
    const FileQuestion question{FileQuestion::Kind::SaveFile, QStringLiteral("Export CSV"), QStringLiteral("trend.csv"),
                                QStringLiteral("CSV files (*.csv);;All files (*)"), QStringLiteral("csv")};
    openFileDialog(this, question, [this](const QString& path) {
        QString error;
        if (exportCsv(path, &error)) return;
        prompter_.showMessage("TARN Manager", latin1Bytes(QStringLiteral("Cannot write %1: %2").arg(path, error)),
                              MessageIcon::Warning);
    });
}

}  // namespace tarn
