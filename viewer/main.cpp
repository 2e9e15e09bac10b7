// kebumini: the dictionary viewer.
#include <QApplication>

#include "viewer/profile.h"
#include "viewer/viewer_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setOrganizationName(QLatin1String(kebu::viewer::kProfileName));
  QApplication::setApplicationName(QLatin1String(kebu::viewer::kProfileName));
  kebu::viewer::CViewerApp viewer;
  viewer.InitInstance();
  return 0;
}
