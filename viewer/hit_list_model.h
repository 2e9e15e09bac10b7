// The rows of the hit list: number, headword and attribute of each hit, the
// dictionary it is from when more than one is open, and its reading when
// readings are shown (the last column; the view shows it beside the
// headword).
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

#include "viewer/headword_search.h"

namespace kebu::viewer {

class HitListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kNumber = 0, kTitle = 1, kAttribute = 2, kDictionary = 3 };
  // The Reading column: the last one while readings are shown, else -1.
  int ReadingColumn() const;
  void SetReadings(bool shown);
  bool ShowsReadings() const { return readings_; }

  explicit HitListModel(QObject* parent = nullptr);

  // Replaces the rows: nothing happens when they are the same (the view
  // keeps its selection and does not repaint), rows added behind the old
  // ones are inserted, anything else resets the model. False when nothing
  // changed.
  bool SetRows(std::vector<Hit> rows);
  void AppendRows(std::vector<Hit> rows);
  void Clear() { SetRows({}); }
  // The names of the dictionaries by id; the Dictionary column shows with
  // `column`.
  void SetDictionaries(QHash<DictionaryId, QString> names, bool column);
  const std::vector<Hit>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::vector<Hit> rows_;
  QHash<DictionaryId, QString> names_;
  bool dictionaryColumn_ = false;
  bool readings_ = true;
};

}  // namespace kebu::viewer
