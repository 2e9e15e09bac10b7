// The hit list's view: a table of whole rows where Home and End go to the
// first and the last row, as in a list. It shows whether it has the focus:
// the selected row in the highlight colour while it has, in a pale one while
// it has not; and coming in by the keyboard with nothing current, it takes
// the first row.
#pragma once

#include <QTableView>

namespace kebu::viewer {

// `widths` scaled down together to fit into `room` (each at least
// kMinColumnWidth); as they are when they fit.
inline constexpr int kMinColumnWidth = 24;
QList<int> FittedWidths(const QList<int>& widths, int room);

class CHitListView : public QTableView {
  Q_OBJECT

 public:
  explicit CHitListView(QWidget* parent = nullptr);

 protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void initViewItemOption(QStyleOptionViewItem* option) const override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace kebu::viewer
