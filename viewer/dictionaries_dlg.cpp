#include "viewer/dictionaries_dlg.h"

#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QPalette>

#include "ui_dictionaries_dlg.h"
#include "viewer/window_notes.h"

namespace kebu::viewer {

CDictionariesDlg::CDictionariesDlg(DictionaryList& list, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CDictionariesDlg>()), list_(list) {
  ui_->setupUi(this);
  ui_->table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  ui_->table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  connect(ui_->addButton, &QPushButton::clicked, this, &CDictionariesDlg::AddRequested);
  connect(ui_->removeButton, &QPushButton::clicked, this, [this] {
    const int row = SelectedRow();
    if (row < 0) return;
    list_.Remove(row);
    Refill(std::min(row, list_.Size() - 1));
    emit Changed();
  });
  connect(ui_->upButton, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
  connect(ui_->downButton, &QPushButton::clicked, this, [this] { MoveSelected(1); });
  connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui_->table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (filling_ || item->column() != 0) return;
    list_.SetSearched(item->row(), item->checkState() == Qt::Checked);
    emit Changed();
  });
  Refill();
}

CDictionariesDlg::~CDictionariesDlg() = default;

QTableWidget* CDictionariesDlg::Table() const { return ui_->table; }
QLabel* CDictionariesDlg::Notes() const { return ui_->notesLabel; }
QPushButton* CDictionariesDlg::AddButton() const { return ui_->addButton; }
QPushButton* CDictionariesDlg::RemoveButton() const { return ui_->removeButton; }
QPushButton* CDictionariesDlg::UpButton() const { return ui_->upButton; }
QPushButton* CDictionariesDlg::DownButton() const { return ui_->downButton; }

int CDictionariesDlg::SelectedRow() const {
  const QModelIndexList rows = ui_->table->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void CDictionariesDlg::MoveSelected(int step) {
  const int row = SelectedRow();
  if (!list_.Move(row, step)) return;
  Refill(row + step);
  emit Changed();
}

void CDictionariesDlg::Refill(int select) {
  filling_ = true;
  QTableWidget* table = ui_->table;
  table->setRowCount(list_.Size());
  const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
  for (int row = 0; row < list_.Size(); ++row) {
    const Dictionary& d = list_.At(row);
    const bool open = d.IsOpen();
    const QString path = QFile::decodeName(d.path);
    const DicHeader* header = open ? &d.reader->GetHeader() : nullptr;
    const QString texts[] = {
        d.name,
        open ? (header->IsBocu1() ? QStringLiteral("BOCU-1") : tr("code page 932")) : QString(),
        open ? QLocale(QLocale::English).toString(header->nword())
             : tr("missing: %1").arg(d.error)};
    for (int column = 0; column < 3; ++column) {
      auto* item = new QTableWidgetItem(texts[column]);
      item->setToolTip(open ? path : path + QLatin1Char('\n') + d.error);
      if (!open) item->setForeground(grey);
      if (column == 0) item->setCheckState(d.searched ? Qt::Checked : Qt::Unchecked);
      if (column == 2 && open) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table->setItem(row, column, item);
    }
  }
  if (select >= 0 && select < list_.Size()) table->selectRow(select);
  const QString notes = WindowNotes::FullNotes(list_);
  ui_->notesLabel->setText(notes);
  ui_->notesLabel->setVisible(!notes.isEmpty());
  filling_ = false;
}

}  // namespace kebu::viewer
