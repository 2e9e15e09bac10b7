// What the window asks of the user: a file, a yes or no, a message read.
// The window holds these behind an interface so that tests answer in place
// of real dialogs.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

class QFileDialog;
class QMessageBox;
class QWidget;

namespace kebu::viewer {

struct FileRequest {
  enum class Mode { kOpen, kSave };
  Mode mode = Mode::kOpen;
  // What the chooser offers first, e.g. "*.DIC": a wildcard name is a filter
  // to start with, not a file.
  QString initialName;
  // Qt name filters, the first chosen at start. The visible text is the part
  // before the last parenthesised pattern list (see DictionaryFilters).
  QStringList nameFilters;
  QString caption;  // empty: the dialog's own
};

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // The full path chosen, or an empty string when the user cancelled.
  virtual QString ChooseFile(QWidget* parent, const FileRequest& request) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool Ask(QWidget* parent, const QString& question) = 0;
  // A message with OK.
  virtual void Tell(QWidget* parent, const QString& message) = 0;
  // The same under a warning icon: something went wrong.
  virtual void Warn(QWidget* parent, const QString& message) = 0;
  // Closes a question that Ask still shows, as if answered No (what it
  // asked about has ended meanwhile).
  virtual void CloseQuestion() = 0;
  // A font family chosen from those installed, starting at `current`; empty
  // when the user cancelled.
  virtual QString ChooseFont(QWidget* parent, const QString& current) = 0;
};

// The filters of the file commands, their names translated. Extensions
// match in any letter case ("*.[Dd][Ii][Cc]"); the dialog shows only the
// names ("Dic Files", "All Files (*.*)").
QStringList DictionaryFilters();
QStringList TextFileFilters();

// Qt's own (not the platform's) file dialog and message boxes.
class QtUserDialogs : public UserDialogs {
 public:
  QString ChooseFile(QWidget* parent, const FileRequest& request) override;
  bool Ask(QWidget* parent, const QString& question) override;
  void Tell(QWidget* parent, const QString& message) override;
  void Warn(QWidget* parent, const QString& message) override;
  void CloseQuestion() override;
  QString ChooseFont(QWidget* parent, const QString& current) override;
  // Sets up `dialog` for `request`; the dialog is then ready to be shown.
  static void Configure(QFileDialog& dialog, const FileRequest& request);

 private:
  QPointer<QMessageBox> question_;  // while Ask shows one
};

}  // namespace kebu::viewer
