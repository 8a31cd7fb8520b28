// CTrendDlg: the monitor's "Trend" view. It charts the 4 ADC values and the 12 input states of the
// monitor's recording over time, follows new polls live, zooms and pans (mouse wheel and drag, or
// + - Left Right Home), and exports the recording as CSV. Modeless: the monitor goes on behind it,
// and the recording goes on while it is closed.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QDialog>
#include <QPen>

#include "core/common/prompter.h"
#include "core/iolink/io_state.h"
#include "core/monitor/trend_plot.h"
#include "core/monitor/trend_window.h"

class QChart;
class QDateTimeAxis;
class QLabel;
class QPushButton;

namespace tarn {

class IoHistory;
class TrendChartView;
class TrendPlotItem;
class TrendShadeItem;

// One line of a chart, oldest point first. The chart's series only name the line and give its pen
// in the legend; the lines themselves are drawn by the chart's TrendPlotItem, since Qt Charts
// outlines every point of a series again whenever an axis moves, as it does while the view follows.
class TrendLine {
public:
    TrendLine(const QPen& pen, bool smooth) : pen_(pen), smooth_(smooth) {}
    const std::vector<TrendPoint>& points() const { return points_; }
    const QPen& pen() const { return pen_; }
    bool smooth() const { return smooth_; }  // an ADC value's line; an input's is a step line
    // Takes `points`; answers where the line changed.
    std::vector<TrendSpan> replace(std::vector<TrendPoint>&& points);

private:
    std::vector<TrendPoint> points_;
    QPen pen_;
    bool smooth_;
};

class CTrendDlg : public QDialog {
    Q_OBJECT
public:
    // A failed export is told through `prompter` (the frame's).
    CTrendDlg(const IoHistory& history, Prompter& prompter, QWidget* parent = nullptr);

    // Takes the samples recorded since the last call into the chart.
    void takeNewSamples();
    // Writes the whole recording to `path` as CSV; false and `error` when it cannot.
    bool exportCsv(const QString& path, QString* error) const;
    void OnExportCsv();

    const TrendWindow& window() const { return window_; }
    const TrendLine* adcSeries(int k) const { return &lines_[static_cast<std::size_t>(k)]; }
    const TrendLine* inputSeries(int i) const { return &lines_[static_cast<std::size_t>(kIoAdcCount + i)]; }
    const std::vector<TrendSpan>& outages() const { return outages_; }
    QPushButton* exportButton() const { return export_; }

    void zoom(double factor, std::int64_t anchorMs);
    void pan(std::int64_t deltaMs);
    void follow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;  // the pixel columns follow the chart's width

private:
    void showWindow();

    const IoHistory& history_;
    Prompter& prompter_;
    std::uint64_t seen_ = 0;  // history_.recorded() when last taken in
    TrendWindow window_;
    std::vector<TrendLine> lines_;    // the ADC lines, then the inputs
    std::vector<TrendSpan> outages_;  // shaded: the polls brought no status
    std::array<QDateTimeAxis*, 2> timeAxes_{};
    std::array<TrendPlotItem*, 2> plots_{};  // the ADC chart's, the inputs'
    std::array<TrendShadeItem*, 2> shades_{};
    TrendChartView* adcView_;
    TrendChartView* inputView_;
    QLabel* state_;
    QPushButton* export_;
};

}  // namespace tarn
