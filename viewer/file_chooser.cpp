#include "viewer/file_chooser.h"

#include <QFileDialog>

namespace kebu::viewer {

// In each filter the last parenthesised list is what Qt matches; the dialog
// hides it (HideNameFilterDetails) and shows the text before it, so "All
// Files (*.*)" keeps its visible "(*.*)" while matching every name ("*"),
// also names without a dot.
QStringList DictionaryFilters() {
  return {QStringLiteral("Dic Files (*.[Dd][Ii][Cc])"),
          QStringLiteral("All Files (*.*) (*)")};
}

QStringList TextFileFilters() {
  return {QStringLiteral("Txt Files (*.[Tt][Xx][Tt])"),
          QStringLiteral("All Files (*.*) (*)")};
}

void DialogFileChooser::Configure(QFileDialog& dialog, const FileRequest& request) {
  const bool open = request.mode == FileRequest::Mode::kOpen;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  // No question before an existing file is overwritten.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  // The open dialog does not insist that the named file exists.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QString());
  dialog.setNameFilters(request.nameFilters);
  if (!request.nameFilters.isEmpty()) dialog.selectNameFilter(request.nameFilters.first());
  // A wildcard initial name only says which files to offer, which the first
  // filter already does; a plain name is proposed as the file.
  if (!request.initialName.contains(QLatin1Char('*')) &&
      !request.initialName.contains(QLatin1Char('?'))) {
    dialog.selectFile(request.initialName);
  }
}

QString DialogFileChooser::Choose(QWidget* parent, const FileRequest& request) {
  QFileDialog dialog(parent);
  Configure(dialog, request);
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace kebu::viewer
