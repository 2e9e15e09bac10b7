#include "viewer/user_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace kebu::viewer {

// In each filter the last parenthesised list is what Qt matches; the dialog
// hides it (HideNameFilterDetails) and shows the text before it, so "All
// Files (*.*)" keeps its visible "(*.*)" while matching every name ("*"),
// also names without a dot.
QStringList DictionaryFilters() {
  return {QCoreApplication::translate("UserDialogs", "Dic Files") + QStringLiteral(" (*.[Dd][Ii][Cc])"),
          QCoreApplication::translate("UserDialogs", "All Files (*.*)") + QStringLiteral(" (*)")};
}

QStringList TextFileFilters() {
  return {QCoreApplication::translate("UserDialogs", "Txt Files") + QStringLiteral(" (*.[Tt][Xx][Tt])"),
          QCoreApplication::translate("UserDialogs", "All Files (*.*)") + QStringLiteral(" (*)")};
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
  QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), question,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  question_ = &box;
  const int answer = box.exec();
  question_ = nullptr;
  return answer == QMessageBox::Yes;
}

void QtUserDialogs::CloseQuestion() {
  if (question_ != nullptr) question_->done(QMessageBox::No);
}

void QtUserDialogs::Tell(QWidget* parent, const QString& message) {
  QMessageBox::information(parent, QCoreApplication::applicationName(), message);
}

void QtUserDialogs::Warn(QWidget* parent, const QString& message) {
  QMessageBox::warning(parent, QCoreApplication::applicationName(), message);
}

QString QtUserDialogs::ChooseFont(QWidget* parent, const QString& current) {
  bool chosen = false;
  const QFont font = QFontDialog::getFont(&chosen, QFont(current), parent, QString(),
                                          QFontDialog::DontUseNativeDialog);
  return chosen ? font.family() : QString();
}

}  // namespace kebu::viewer
