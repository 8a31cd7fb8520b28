// The Traffic window: a dock that lists every management datagram and every I/O frame, sent and
// received (time, direction, peer, length, summary, bytes), with the full hex and ASCII dump of
// the chosen entry below. It keeps the latest TrafficRing::kDefaultCapacity entries. It installs
// itself as the process's traffic sink while it exists (the newest window's dock records), and shows new entries in
// batches so that a burst of thousands costs the window one update per batch.
#pragma once

#include <functional>
#include <vector>

#include <QAbstractTableModel>
#include <QDockWidget>
#include <QTimer>

#include "core/common/traffic_log.h"
#include "gui/common/file_dialog.h"
#include "link/common/traffic_sink.h"

class QAction;
class QPlainTextEdit;
class QTableView;

namespace tarn {

class Prompter;

class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Peer, Length, Summary, ByteText, ColumnCount };

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends the entries in order, dropping the oldest rows beyond the ring's capacity.
    void append(std::vector<TrafficEntry> entries);
    void clear();
    const TrafficRing& ring() const { return ring_; }

private:
    TrafficRing ring_;
};

class TrafficDock : public QDockWidget, private TrafficSink {
    Q_OBJECT
public:
    // How often recorded entries reach the list.
    static constexpr int kBatchMs = 100;

    explicit TrafficDock(Prompter& prompter, QWidget* parent = nullptr);
    ~TrafficDock() override;

    TrafficModel* model() const { return model_; }
    QAction* pauseAction() const { return pause_; }
    // Shows what was recorded up to now (the batch timer does it otherwise).
    void flush();
    // Writes every listed entry as plain text; false (and the operator told why) on failure.
    bool saveTo(const QString& path);
    // How "Save as..." asks for a file (a dialog opened with open()); tests replace it.
    void setFileAsker(FileAsker asker) { fileAsker_ = std::move(asker); }

private:
    void record(TrafficEntry entry) override;
    void showCurrent();
    void saveAs();

    Prompter& prompter_;
    TrafficModel* model_;
    QTableView* table_;
    QPlainTextEdit* dump_;
    QAction* pause_;
    QTimer batch_;
    std::vector<TrafficEntry> pending_;
    FileAsker fileAsker_;
};

}  // namespace tarn
