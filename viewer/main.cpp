// kebumini: the dictionary viewer.
//
//   kebumini [FILE.DIC...]
//
// Files named on the command line are the dictionaries of this run, in
// their order, and are remembered as the window's list; without any, the
// remembered dictionaries open.
#include <QApplication>

#include "viewer/profile.h"
#include "viewer/viewer_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setOrganizationName(QLatin1String(kebu::viewer::kProfileName));
  QApplication::setApplicationName(QLatin1String(kebu::viewer::kProfileName));
  const auto translation = kebu::viewer::InstallTranslation(QLocale::system());
  // QApplication has taken its own options out of argv; the rest are files.
  kebu::viewer::CViewerApp viewer;
  viewer.InitInstance(kebu::viewer::FilesFromArguments(argc, argv));
  return 0;
}
