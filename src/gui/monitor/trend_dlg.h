// CTrendDlg: the monitor's "Trend" view. It charts the 4 ADC values and the 12 input states of the
// monitor's recording over time, follows new polls live, zooms and pans (mouse wheel and drag, or
// + - Left Right Home), and exports the recording as CSV. Modeless: the monitor goes on behind it,
// and the recording goes on while it is closed.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QDialog>
#include <QList>
#include <QPointF>

#include "core/iolink/io_state.h"
#include "core/monitor/trend_window.h"

class QAbstractAxis;
class QChart;
class QChartView;
class QLineSeries;
class QDateTimeAxis;
class QLabel;
class QPushButton;

namespace tarn {

class IoHistory;
class TrendChartView;

// One line of the chart as two series: the settled pixel columns, and the newest column (from the
// last settled point on). Qt Charts outlines a whole series whenever it changes; a poll changes
// only the newest column, so the long series is left alone while the view follows.
class TrendLine {
public:
    TrendLine(QChart* chart, const QString& name, QAbstractAxis* valueAxis);
    // The line's points, oldest first.
    QList<QPointF> points() const;
    qsizetype count() const { return points().size(); }
    QPointF at(qsizetype i) const { return points().at(i); }
    // Shows `points`; those from `newestColumnMs` on go to the newest column's series.
    void show(const QList<QPointF>& points, double newestColumnMs);
    void clear();

private:
    QLineSeries* settled_;
    QLineSeries* newest_;
};

class CTrendDlg : public QDialog {
    Q_OBJECT
public:
    CTrendDlg(const IoHistory& history, QWidget* parent = nullptr);

    // Takes the samples recorded since the last call into the chart.
    void takeNewSamples();
    // Writes the whole recording to `path` as CSV; false and `error` when it cannot.
    bool exportCsv(const QString& path, QString* error) const;
    void OnExportCsv();

    const TrendWindow& window() const { return window_; }
    const TrendLine* adcSeries(int k) const { return &lines_[static_cast<std::size_t>(k)]; }
    const TrendLine* inputSeries(int i) const { return &lines_[static_cast<std::size_t>(kIoAdcCount + i)]; }
    QPushButton* exportButton() const { return export_; }

    void zoom(double factor, std::int64_t anchorMs);
    void pan(std::int64_t deltaMs);
    void follow();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showWindow();

    const IoHistory& history_;
    std::uint64_t seen_ = 0;  // history_.recorded() when last taken in
    TrendWindow window_;
    std::vector<TrendLine> lines_;  // the ADC lines, then the inputs
    std::array<QDateTimeAxis*, 2> timeAxes_{};
    TrendChartView* adcView_;
    TrendChartView* inputView_;
    QLabel* state_;
    QPushButton* export_;
};

}  // namespace tarn
