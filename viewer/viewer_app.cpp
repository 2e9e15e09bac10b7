#include "viewer/viewer_app.h"

#include <unistd.h>

#include <QCoreApplication>
#include <climits>

#include "viewer/viewer_dlg.h"

namespace kebu::viewer {

std::vector<QByteArray> FilesFromArguments(int argc, char** argv) {
  QByteArray folder(PATH_MAX, '\0');
  if (::getcwd(folder.data(), static_cast<size_t>(folder.size())) == nullptr) folder.clear();
  folder.truncate(static_cast<qsizetype>(qstrlen(folder.constData())));
  std::vector<QByteArray> files;
  for (int i = 1; i < argc; ++i) {
    const QByteArray argument(argv[i]);
    if (argument.isEmpty()) continue;
    files.push_back(argument.startsWith('/') || folder.isEmpty() ? argument
                                                                 : folder + '/' + argument);
  }
  return files;
}

std::unique_ptr<QTranslator> InstallTranslation(const QLocale& locale) {
  auto translator = std::make_unique<QTranslator>();
  // The translations are resources of the viewer library (qt_add_lrelease).
  if (!translator->load(locale, QStringLiteral("kebumini"), QStringLiteral("_"),
                        QStringLiteral(":/i18n")) ||
      !QCoreApplication::installTranslator(translator.get())) {
    return nullptr;
  }
  return translator;
}

bool CViewerApp::InitInstance(std::vector<QByteArray> files) {
  CViewerDlg dialog(nullptr, std::move(files));
  dialog.exec();
  return false;
}

}  // namespace kebu::viewer
