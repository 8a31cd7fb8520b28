// CTrendDlg: the monitor's "Trend" view. It charts the 4 ADC values and the 12 input states of the
// monitor's recording over time, follows new polls live, zooms and pans (mouse wheel and drag, or
// + - Left Right Home), and exports the recording as CSV. Modeless: the monitor goes on behind it,
// and the recording goes on while it is closed.
#pragma once

#include <array>
#include <cstdint>

#include <QDialog>
#include <QList>
#include <QPointF>

#include "core/iolink/io_state.h"
#include "core/monitor/trend_window.h"

class QChart;
class QChartView;
class QLineSeries;
class QDateTimeAxis;
class QLabel;
class QPushButton;

namespace tarn {

class IoHistory;
class TrendChartView;

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
    QLineSeries* adcSeries(int k) const { return adc_[static_cast<std::size_t>(k)]; }
    QLineSeries* inputSeries(int i) const { return inputs_[static_cast<std::size_t>(i)]; }
    QPushButton* exportButton() const { return export_; }

    void zoom(double factor, std::int64_t anchorMs);
    void pan(std::int64_t deltaMs);
    void follow();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    using Lines = std::array<QList<QPointF>, kIoAdcCount + kIoInputCount>;

    void showWindow();
    Lines plot() const;
    std::size_t indexBefore(std::int64_t ms) const;

    const IoHistory& history_;
    std::uint64_t seen_ = 0;  // history_.recorded() when last taken in
    TrendWindow window_;
    std::array<QLineSeries*, 4> adc_{};
    std::array<QLineSeries*, 12> inputs_{};
    std::array<QDateTimeAxis*, 2> timeAxes_{};
    TrendChartView* adcView_;
    TrendChartView* inputView_;
    QLabel* state_;
    QPushButton* export_;
};

}  // namespace tarn
