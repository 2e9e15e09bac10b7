#include "viewer/user_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace kebu::viewer {

// In each filter the last parenthesised list is what Qt matches; the dialog
// hides it (HideNameFilterDetails) and shows the text before it, so "All
// Files (*.*)" keeps its visible "(*.*)" while matching every name ("*"),
// also names without a dot.
QStringList DictionaryFilters() {
  return {QStringLiteral("Dic Files (*.[Dd][Ii][Cc])"), QStringLiteral("All Files (*.*) (*)")};
}

QStringList TextFileFilters() {
  return {QStringLiteral("Txt Files (*.[Tt][Xx][Tt])"), QStringLiteral("All Files (*.*) (*)")};
}

void QtUserDialogs::Configure(QFileDialog& dialog, const FileRequest& request) {
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
  if (!request.caption.isEmpty()) dialog.setWindowTitle(request.caption);
  // A wildcard initial name only says which files to offer, which the first
  // filter already does; a plain name is proposed as the file.
  if (!request.initialName.contains(QLatin1Char('*')) &&
      !request.initialName.contains(QLatin1Char('?'))) {
    dialog.selectFile(request.initialName);
  }
}

QString QtUserDialogs::ChooseFile(QWidget* parent, const FileRequest& request) {
  QFileDialog dialog(parent);
  Configure(dialog, request);
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

bool QtUserDialogs::Ask(QWidget* parent, const QString& question) {
  return QMessageBox::question(parent, QCoreApplication::applicationName(), question) ==
         QMessageBox::Yes;
}

void QtUserDialogs::Tell(QWidget* parent, const QString& message) {
  QMessageBox::information(parent, QCoreApplication::applicationName(), message);
}

}  // namespace kebu::viewer
