#include "viewer/about_dlg.h"

#include "ui_about_dlg.h"
#include "viewer/window_style.h"

namespace kebu::viewer {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CAboutDlg>()) {
  InitViewerResources();
  ui_->setupUi(this);
  setFont(DialogFont());
  setWindowIcon(ProgramIcon());
  // OK and Esc close the box.
  connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace kebu::viewer
