// The item model of the device list: the discovered devices (DeviceInventory) in their shown order,
// one row per shown device and one column per DeviceInventory column. Devices appended are announced
// to the view together, as rows at the end, at a steady pace: a device that answers alone shows at
// once, while a burst of probe replies shows every kAnnounceMs. The view lays out all its rows at each
// announcement (a few milliseconds at 100,000 rows), so announcing once per pass of the event loop
// would spend most of a burst on layouts. A sort moves rows (layoutChanged, so the view keeps its
// place); a new filter resets.
#pragma once

#include <cstdint>

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>

#include "core/discovery/device_inventory.h"

namespace tarn {

class DeviceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The least time between two announcements of new rows.
    static constexpr int kAnnounceMs = 100;

    explicit DeviceModel(QObject* parent = nullptr);

    const DeviceInventory& inventory() const { return inventory_; }
    // The marks change through here; the view repaints after.
    TreeSelection& selection() { return inventory_.selection(); }

    void clear();
    // Listed at once; shown as a row at the next announcement, or at flush().
    void append(const DeviceEntry& entry, std::int64_t timeMs);
    // Announces the rows appended since the last time, now.
    void flush();
    // Another reply with a listed device's MAC: the device again, or a second address claiming it
    // (its row then shows a warning and says so in its tooltip).
    void claimedBy(int device, std::string_view ip, std::int64_t timeMs);
    void setProductName(const std::string& productId, const std::string& name);
    SortDirection sortByColumn(int column);
    void setFilter(const QString& pattern);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // Devices, shown devices or marks changed: the counts below the list are due.
    void countsChanged();

private:
    DeviceInventory inventory_;
    int announced_ = 0;  // the shown rows the view knows of
    QTimer announce_;
    QElapsedTimer sinceAnnounced_;
};

}  // namespace tarn
