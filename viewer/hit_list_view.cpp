#include "viewer/hit_list_view.h"

#include <QFocusEvent>
#include <algorithm>
#include <cstdint>

namespace kebu::viewer {

QList<int> FittedWidths(const QList<int>& widths, int room) {
  qint64 total = 0;
  for (int width : widths) total += width;
  if (total <= room) return widths;
  // What each has beyond the least is scaled down, so that they fill the room.
  const qint64 least = static_cast<qint64>(kMinColumnWidth) * widths.size();
  const qint64 spare = std::max<qint64>(room - least, 0);
  QList<int> fitted;
  for (int width : widths) {
    const qint64 beyond = std::max(width - kMinColumnWidth, 0);
    fitted << kMinColumnWidth + static_cast<int>(beyond * spare / std::max<qint64>(total - least, 1));
  }
  return fitted;
}

CHitListView::CHitListView(QWidget* parent) : QTableView(parent) {}

QModelIndex CHitListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const int rows = model() != nullptr ? model()->rowCount(rootIndex()) : 0;
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  if (rows > 0 && action == MoveHome) return model()->index(0, column, rootIndex());
  if (rows > 0 && action == MoveEnd) return model()->index(rows - 1, column, rootIndex());
  return QTableView::moveCursor(action, modifiers);
}

void CHitListView::initViewItemOption(QStyleOptionViewItem* option) const {
  QTableView::initViewItemOption(option);
  if (hasFocus()) return;
  // Without the focus the selection is a pale mix of the highlight and the
  // base, its text the ordinary text.
  const QColor highlight = option->palette.color(QPalette::Highlight);
  const QColor base = option->palette.color(QPalette::Base);
  option->palette.setColor(QPalette::Highlight,
                           QColor((highlight.red() + 3 * base.red()) / 4,
                                  (highlight.green() + 3 * base.green()) / 4,
                                  (highlight.blue() + 3 * base.blue()) / 4));
  option->palette.setColor(QPalette::HighlightedText, option->palette.color(QPalette::Text));
}

void CHitListView::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  const bool byKeyboard = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
  if (byKeyboard && !currentIndex().isValid() && model() != nullptr && model()->rowCount() > 0) {
    selectRow(0);
  }
  viewport()->update();
}

void CHitListView::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  viewport()->update();
}

}  // namespace kebu::viewer
