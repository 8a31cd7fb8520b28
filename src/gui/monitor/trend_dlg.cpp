#include "gui/monitor/trend_dlg.h"

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
    for (int k = 0; k < kIoAdcCount; ++k) {
        auto* series = adc_[static_cast<std::size_t>(k)] = new QLineSeries;
        series->setName(QStringLiteral("ADC %1").arg(k + 1));
        adcChart->addSeries(series);
        series->attachAxis(adcAxis);
        series->attachAxis(timeAxes_[0]);
    }
    for (int i = 0; i < kIoInputCount; ++i) {
        auto* series = inputs_[static_cast<std::size_t>(i)] = new QLineSeries;
        series->setName(QStringLiteral("Input %1").arg(i + 1));
        inputChart->addSeries(series);
        series->attachAxis(laneAxis);
        series->attachAxis(timeAxes_[1]);
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
    const std::uint64_t total = history_.recorded();
    if (total == seen_) return;
    const std::uint64_t oldest = total - history_.size();
    std::array<QList<QPointF>, kIoAdcCount> adcPoints;
    std::array<QList<QPointF>, kIoInputCount> inputPoints;
    std::array<double, kIoInputCount> lastLane{};
    for (int i = 0; i < kIoInputCount; ++i) {
        const QLineSeries* s = inputs_[static_cast<std::size_t>(i)];
        lastLane[static_cast<std::size_t>(i)] = s->count() ? s->at(s->count() - 1).y() : -1;
    }
    for (std::uint64_t n = std::max(seen_, oldest); n < total; ++n) {
        const IoSample& sample = history_.at(static_cast<std::size_t>(n - oldest));
        const auto x = static_cast<double>(sample.timeMs());
        for (int k = 0; k < kIoAdcCount; ++k)
            if (sample.adcValue(k) != IoSample::kNoAdcValue) adcPoints[k].append({x, double(sample.adcValue(k))});
        for (int i = 0; i < kIoInputCount; ++i) {
            if (!inputKnown(sample.input(i))) continue;
            const double y = laneValue(i, sample.input(i));
            double& last = lastLane[static_cast<std::size_t>(i)];
            if (last >= 0 && last != y) inputPoints[i].append({x, last});  // a step, not a slope
            inputPoints[i].append({x, y});
            last = y;
        }
    }
    for (int k = 0; k < kIoAdcCount; ++k) adc_[static_cast<std::size_t>(k)]->append(adcPoints[k]);
    for (int i = 0; i < kIoInputCount; ++i) inputs_[static_cast<std::size_t>(i)]->append(inputPoints[i]);
    seen_ = total;
    if (history_.size() == 0) return;
    const std::int64_t first = history_.at(0).timeMs();
    dropOlderThan(first);
    window_.setExtent(first, history_.at(history_.size() - 1).timeMs());
    showWindow();
}

void CTrendDlg::dropOlderThan(std::int64_t firstMs) {
    const auto drop = [firstMs](QLineSeries* s) {
        int n = 0;
        while (n < s->count() && s->at(n).x() < static_cast<double>(firstMs)) ++n;
        if (n) s->removePoints(0, n);
    };
    for (QLineSeries* s : adc_) drop(s);
    for (QLineSeries* s : inputs_) drop(s);
}

void CTrendDlg::showWindow() {
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(window_.from());
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(window_.to());
    for (QDateTimeAxis* axis : timeAxes_) axis->setRange(from, to);
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
