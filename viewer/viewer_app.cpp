#include "viewer/viewer_app.h"

#include "viewer/viewer_dlg.h"

namespace kebu::viewer {

bool CViewerApp::InitInstance() {
  CViewerDlg dialog;
  dialog.exec();
  return false;
}

}  // namespace kebu::viewer
