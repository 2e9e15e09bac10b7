#include "viewer/hit_list_model.h"

#include <algorithm>

namespace kebu::viewer {

HitListModel::HitListModel(QObject* parent) : QAbstractTableModel(parent) {}

bool HitListModel::SetRows(std::vector<Hit> rows) {
  if (rows == rows_) return false;
  if (rows.size() > rows_.size() && std::equal(rows_.begin(), rows_.end(), rows.begin())) {
    AppendRows(
        std::vector<Hit>(rows.begin() + static_cast<std::ptrdiff_t>(rows_.size()), rows.end()));
    return true;
  }
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
  return true;
}

void HitListModel::AppendRows(std::vector<Hit> rows) {
  if (rows.empty()) return;
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
  rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
               std::make_move_iterator(rows.end()));
  endInsertRows();
}

void HitListModel::SetDictionaries(QHash<DictionaryId, QString> names, bool column) {
  if (column == dictionaryColumn_) {
    names_ = std::move(names);
    if (column && !rows_.empty()) {
      emit dataChanged(index(0, kDictionary), index(rowCount() - 1, kDictionary));
    }
    return;
  }
  beginResetModel();
  names_ = std::move(names);
  dictionaryColumn_ = column;
  endResetModel();
}

int HitListModel::ReadingColumn() const {
  return readings_ ? columnCount() - 1 : -1;
}

void HitListModel::SetReadings(bool shown) {
  if (shown == readings_) return;
  beginResetModel();
  readings_ = shown;
  endResetModel();
}

int HitListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HitListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3 + (dictionaryColumn_ ? 1 : 0) + (readings_ ? 1 : 0);
}

QVariant HitListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Hit& row = rows_[static_cast<size_t>(index.row())];
  if (role == Qt::DisplayRole) {
    if (index.column() == ReadingColumn()) return row.reading;
    switch (index.column()) {
      case kNumber:
        return QString::number(index.row() + 1);
      case kTitle:
        return row.headword;
      case kAttribute:
        // Empty for attribute 0.
        return row.attribute > 0 ? QString::number(row.attribute) : QString();
      case kDictionary:
        return names_.value(row.dictionary);
      default:
        return {};
    }
  }
  if (role == Qt::TextAlignmentRole) {
    const Qt::Alignment horizontal = index.column() == kAttribute ? Qt::AlignRight : Qt::AlignLeft;
    return static_cast<int>(horizontal | Qt::AlignVCenter);
  }
  return {};
}

QVariant HitListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) {
    if (section == ReadingColumn()) return tr("Reading");
    switch (section) {
      case kNumber:
        return tr("No.");
      case kTitle:
        return tr("title");
      case kAttribute:
        return tr("L");
      case kDictionary:
        return tr("Dictionary");
      default:
        return {};
    }
  }
  if (role == Qt::TextAlignmentRole) {
    return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}

}  // namespace kebu::viewer
