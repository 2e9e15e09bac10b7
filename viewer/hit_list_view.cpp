#include "viewer/hit_list_view.h"

namespace kebu::viewer {

CHitListView::CHitListView(QWidget* parent) : QTableView(parent) {}

QModelIndex CHitListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const int rows = model() != nullptr ? model()->rowCount(rootIndex()) : 0;
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  if (rows > 0 && action == MoveHome) return model()->index(0, column, rootIndex());
  if (rows > 0 && action == MoveEnd) return model()->index(rows - 1, column, rootIndex());
  return QTableView::moveCursor(action, modifiers);
}

}  // namespace kebu::viewer
