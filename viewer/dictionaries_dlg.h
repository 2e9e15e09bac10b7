// The Dictionaries dialog: lists the window's dictionaries (name, encoding,
// records), adds, removes and reorders them and leaves one out of searches.
// It changes the DictionaryList it is given and says so with Changed(); the
// window asks for the file to add (AddRequested) and searches anew.
#pragma once

#include <QDialog>
#include <memory>

#include "viewer/dictionary_list.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace Ui {
class CDictionariesDlg;
}

namespace kebu::viewer {

class CDictionariesDlg : public QDialog {
  Q_OBJECT

 public:
  CDictionariesDlg(DictionaryList& list, QWidget* parent = nullptr);
  ~CDictionariesDlg() override;

  // Shows the list anew, row `select` selected.
  void Refill(int select = 0);

  QTableWidget* Table() const;
  // What is wrong with the dictionaries, in full.
  QLabel* Notes() const;
  QPushButton* AddButton() const;
  QPushButton* RemoveButton() const;
  QPushButton* UpButton() const;
  QPushButton* DownButton() const;

 signals:
  void AddRequested();
  void Changed();

 private:
  int SelectedRow() const;
  void MoveSelected(int step);

  std::unique_ptr<Ui::CDictionariesDlg> ui_;
  DictionaryList& list_;
  bool filling_ = false;
};

}  // namespace kebu::viewer
