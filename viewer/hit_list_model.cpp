#include "viewer/hit_list_model.h"

namespace kebu::viewer {

HitListModel::HitListModel(QObject* parent) : QAbstractTableModel(parent) {}

void HitListModel::SetRows(std::vector<Row> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void HitListModel::Clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  endResetModel();
}

int HitListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HitListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant HitListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const Row& row = rows_[static_cast<size_t>(index.row())];
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
      case kNumber:
        return QString::number(index.row() + 1);
      case kTitle:
        return row.headword;
      case kAttribute:
        // Empty for attribute 0.
        return row.attribute > 0 ? QString::number(row.attribute) : QString();
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
    switch (section) {
      case kNumber:
        return QStringLiteral("No.");
      case kTitle:
        return QStringLiteral("title");
      case kAttribute:
        return QStringLiteral("L");
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
