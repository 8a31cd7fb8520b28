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
#include "core/monitor/trend_plot.h"

namespace tarn {

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

void CTrendDlg::showWindow() {
    const TrendColumns view = trendColumns(history_, window_, adcView_->width());
    const TrendLines lines = plotTrend(history_, view);
    // Qt Charts outlines every point of a series again both when an axis moves and when the series'
    // points change. Emptying the lines before the axes move outlines each line once.
    const QDateTime axisFrom = QDateTime::fromMSecsSinceEpoch(view.from);
    const QDateTime axisTo = QDateTime::fromMSecsSinceEpoch(view.to);
    if (timeAxes_[0]->min() != axisFrom || timeAxes_[0]->max() != axisTo) {
        for (TrendLine& line : lines_) line.clear();
        for (QDateTimeAxis* axis : timeAxes_) axis->setRange(axisFrom, axisTo);
    }
    for (std::size_t n = 0; n < lines_.size(); ++n) {
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(lines[n].size()));
        for (const TrendPoint& p : lines[n]) points.append({p.x, p.y});
        lines_[n].show(points, view.newest);
    }
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
