// Shared helpers of the viewer tests: a profile folder of its own for each
// test, dictionaries from the builder, the real window shown on the
// offscreen platform, and a file chooser that answers from a script.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/dic_builder.h"
#include "viewer/file_chooser.h"
#include "viewer/viewer_dlg.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace kebu::viewer::testing {

using kebu::testing::BuildDictionary;
using kebu::testing::Options;
using kebu::testing::Record;
using kebu::testing::TempDir;
using kebu::testing::WriteFile;

// Answers file requests from a list; an empty answer is a cancel. Keeps the
// requests and, for each, whether a dictionary was open at that moment.
class ScriptedChooser : public FileChooser {
 public:
  explicit ScriptedChooser(CViewerDlg* window) : window_(window) {}

  QString Choose(QWidget*, const FileRequest& request) override {
    requests.push_back(request);
    openWhileAsked.push_back(window_->IsDictionaryOpen());
    if (answers.empty()) return QString();
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::deque<QString> answers;
  std::vector<FileRequest> requests;
  std::vector<bool> openWhileAsked;

 private:
  CViewerDlg* window_;
};

// One row of the hit list as shown: "No.", "title", "L".
using RowTexts = std::vector<QString>;

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override { NewProfileFolder(); }

  // Starts over with an empty profile folder (each case of a table gets its
  // own, so no profile file is ever rewritten by hand behind Qt's cache).
  void NewProfileFolder() {
    config_ = std::make_unique<TempDir>();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(config_->path().string()));
  }

  void TearDown() override {
    if (window_) window_->close();
    window_.reset();
  }

  // The profile file of this test.
  QString ProfileFile() const {
    return QString::fromStdString((config_->path() / "kebumini" / "kebumini.ini").string());
  }

  void WriteProfile(const QString& key, const QString& value) {
    QSettings profile(ProfileFile(), QSettings::IniFormat);
    profile.setValue(QStringLiteral("Globals/") + key, value);
  }
  // Writes the profile file as given, byte for byte.
  void WriteRawProfile(const std::string& text) {
    std::filesystem::create_directories(config_->path() / "kebumini");
    WriteFile(config_->path() / "kebumini" / "kebumini.ini", text);
  }
  QVariant ProfileValue(const QString& key) const {
    QSettings profile(ProfileFile(), QSettings::IniFormat);
    return profile.value(QStringLiteral("Globals/") + key);
  }

  // A dictionary file in the test's folder; returns its path.
  QString MakeDictionary(std::vector<Record> records, const Options& options = {},
                         const std::string& name = "words.dic") {
    const auto path = files_.File(name);
    WriteFile(path, BuildDictionary(std::move(records), options).bytes);
    return QString::fromStdString(path.string());
  }
  QString FilePath(const std::string& name) const {
    return QString::fromStdString(files_.File(name).string());
  }

  // Builds the window (which reads the profile) and shows it.
  CViewerDlg& OpenWindow() {
    window_ = std::make_unique<CViewerDlg>();
    auto chooser = std::make_unique<ScriptedChooser>(window_.get());
    chooser_ = chooser.get();
    window_->SetFileChooser(std::move(chooser));
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get(), 5000));
    return *window_;
  }
  // The window with `path` remembered from the last run.
  CViewerDlg& OpenWindowWith(const QString& path) {
    WriteProfile(QStringLiteral("FilePath"), path);
    return OpenWindow();
  }

  // Types `key` into the emptied search box and presses Enter.
  void TypeAndSearch(const QString& key) {
    QLineEdit* edit = window_->SearchBox()->lineEdit();
    edit->clear();
    bool ascii = true;
    for (QChar ch : key) ascii = ascii && ch.unicode() < 0x80;
    if (ascii) {
      QTest::keyClicks(edit, key);
    } else {
      edit->insert(key);  // key events carry ASCII only
    }
    QTest::keyClick(edit, Qt::Key_Return);
  }

  std::vector<RowTexts> Rows() const {
    const QAbstractItemModel* model = window_->HitList()->model();
    std::vector<RowTexts> rows;
    for (int r = 0; r < model->rowCount(); ++r) {
      RowTexts row;
      for (int c = 0; c < model->columnCount(); ++c) {
        row.push_back(model->data(model->index(r, c)).toString());
      }
      rows.push_back(row);
    }
    return rows;
  }
  // Selected rows, in order.
  std::vector<int> SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : window_->HitList()->selectionModel()->selectedRows()) {
      rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  QStringList History() const {
    QStringList items;
    for (int i = 0; i < window_->SearchBox()->count(); ++i) {
      items << window_->SearchBox()->itemText(i);
    }
    return items;
  }
  QPoint RowCentre(int row) const {
    QTableView* list = window_->HitList();
    return list->visualRect(list->model()->index(row, 1)).center();
  }

  std::unique_ptr<TempDir> config_;
  TempDir files_;
  std::unique_ptr<CViewerDlg> window_;
  ScriptedChooser* chooser_ = nullptr;
};

// A small code page 932 dictionary: "ap" finds four words.
inline std::vector<Record> FruitWords() {
  return {
      {.headword = "app", .translation = "アプリ"},
      {.headword = "apple", .translation = "りんご", .example = "She cut the apple.",
       .attribute = 1},
      {.headword = "apple pie", .translation = "アップルパイ"},
      {.headword = "apply", .translation = "適用する", .attribute = 12},
      {.headword = "banana", .translation = "バナナ", .example = "黄色い果物"},
      {.headword = "日本語", .translation = "Japanese"},
  };
}

}  // namespace kebu::viewer::testing
