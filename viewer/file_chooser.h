// Asking the user for a file: the window describes what it wants, a chooser
// answers with a path. The window holds the chooser behind this interface so
// that tests answer in place of a real dialog.
#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace kebu::viewer {

struct FileRequest {
  enum class Mode { kOpen, kSave };
  Mode mode = Mode::kOpen;
  // What the chooser offers first, e.g. "*.DIC": a wildcard name is a filter
  // to start with, not a file.
  QString initialName;
  // Qt name filters, the first chosen at start. The visible text is the part
  // before the last parenthesised pattern list (see FileChooser below).
  QStringList nameFilters;
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The full path chosen, or an empty string when the user cancelled.
  virtual QString Choose(QWidget* parent, const FileRequest& request) = 0;
};

// The filters of the two file commands. Extensions match in any letter
// case ("*.[Dd][Ii][Cc]"); the dialog shows only the names ("Dic Files",
// "All Files (*.*)").
QStringList DictionaryFilters();
QStringList TextFileFilters();

// Qt's own (not the platform's) file dialog, configured for a request.
class DialogFileChooser : public FileChooser {
 public:
  QString Choose(QWidget* parent, const FileRequest& request) override;
  // Sets up `dialog` for `request`; the dialog is then ready to be shown.
  static void Configure(QFileDialog& dialog, const FileRequest& request);
};

}  // namespace kebu::viewer
