// The hit list's view: a table of whole rows where Home and End go to the
// first and the last row, as in a list.
#pragma once

#include <QTableView>

namespace kebu::viewer {

class CHitListView : public QTableView {
  Q_OBJECT

 public:
  explicit CHitListView(QWidget* parent = nullptr);

 protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};

}  // namespace kebu::viewer
