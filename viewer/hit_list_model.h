// The rows of the hit list: number, headword and attribute of each hit.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace kebu::viewer {

class HitListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kNumber = 0, kTitle = 1, kAttribute = 2, kColumnCount = 3 };

  struct Row {
    QString headword;  // as shown
    int attribute = 0;
  };

  explicit HitListModel(QObject* parent = nullptr);

  // Replaces all rows at once (one model reset).
  void SetRows(std::vector<Row> rows);
  void Clear();
  const std::vector<Row>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::vector<Row> rows_;
};

}  // namespace kebu::viewer
