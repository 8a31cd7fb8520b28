#include "gui/discovery/device_model.h"

#include <algorithm>
#include <malloc.h>

#include <QApplication>
#include <QStyle>

#include "core/discovery/selection_identity.h"
#include "link/common/qt_bytes.h"

namespace tarn {

namespace {

Qt::Alignment alignmentOf(int column) {
    // Addresses line up on their last digit, as they always have.
    return (column == kIpColumn || column == kMacColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

// The mark of a device that two addresses claim.
QVariant warningIcon() {
    static const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    return icon;
}

}  // namespace

DeviceModel::DeviceModel(QObject* parent) : QAbstractTableModel(parent) {
    announce_.setSingleShot(true);
    connect(&announce_, &QTimer::timeout, this, &DeviceModel::flush);
}

void DeviceModel::clear() {
    beginResetModel();
    inventory_.clear();
    // The allocator keeps freed pages for itself unless asked: after a flood the window would stay big.
    ::malloc_trim(0);
    announced_ = 0;
    announce_.stop();
    sinceAnnounced_.invalidate();  // the first device of the next probe shows at once
    endResetModel();
    emit countsChanged();
}

void DeviceModel::append(const DeviceEntry& entry, std::int64_t timeMs) {
    inventory_.add(entry, timeMs);
    if (announce_.isActive()) return;
    const qint64 since = sinceAnnounced_.isValid() ? sinceAnnounced_.elapsed() : kAnnounceMs;
    announce_.start(static_cast<int>(std::max<qint64>(0, kAnnounceMs - since)));
}

void DeviceModel::flush() {
    announce_.stop();
    const int shown = inventory_.shownCount();
    if (shown > announced_) {
        sinceAnnounced_.start();
        beginInsertRows({}, announced_, shown - 1);
        announced_ = shown;
        endInsertRows();
    }
    emit countsChanged();
}

void DeviceModel::claimedBy(int device, std::string_view ip, std::int64_t timeMs) {
    const bool conflict = inventory_.claimedBy(device, ip, timeMs);
    const int row = inventory_.positionOf(device);
    if (row < 0 || row >= announced_) return;
    if (conflict)
        emit dataChanged(index(row, 0), index(row, DeviceInventory::kColumnCount - 1));
    else
        emit dataChanged(index(row, kLastReplyColumn), index(row, kLastReplyColumn), {Qt::DisplayRole});
}

void DeviceModel::setProductName(const std::string& productId, const std::string& name) {
    inventory_.setProductName(productId, name);
}

SortDirection DeviceModel::sortByColumn(int column) {
    flush();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The view's few persistent indexes (its current row) follow their devices.
    const QModelIndexList before = persistentIndexList();
    std::vector<int> devices;
    for (const QModelIndex& i : before) devices.push_back(inventory_.deviceAt(i.row()));
    const SortDirection direction = inventory_.sortByColumn(column);
    QModelIndexList after;
    for (qsizetype k = 0; k < before.size(); ++k) {
        const int row = inventory_.positionOf(devices[static_cast<std::size_t>(k)]);
        after.push_back(row < 0 ? QModelIndex() : index(row, before[k].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return direction;
}

void DeviceModel::setFilter(const QString& pattern) {
    beginResetModel();
    inventory_.setFilter(pattern.toLatin1().toStdString());
    announced_ = inventory_.shownCount();
    endResetModel();
    emit countsChanged();
}

int DeviceModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : announced_; }

int DeviceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : DeviceInventory::kColumnCount;
}

QVariant DeviceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= announced_) return {};
    if (role == Qt::DisplayRole) return latin1(inventory_.text(inventory_.deviceAt(index.row()), index.column()));
    if (role == Qt::TextAlignmentRole) return static_cast<int>(alignmentOf(index.column()));
    if (role == Qt::DecorationRole || role == Qt::ToolTipRole) {
        const int device = inventory_.deviceAt(index.row());
        if (inventory_.conflictAddress(device).empty()) return {};
        if (role == Qt::DecorationRole) return index.column() == kNameColumn ? warningIcon() : QVariant();
        return latin1(conflictMessage(inventory_.device(device)));
    }
    return {};
}

QVariant DeviceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= DeviceInventory::kColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(DeviceInventory::kColumnTitles[section]);
    if (role == Qt::TextAlignmentRole) return static_cast<int>(alignmentOf(section));
    return {};
}

}  // namespace tarn
