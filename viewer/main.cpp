// kebumini: the dictionary viewer.
//
//   kebumini [--lookup TEXT | --lookup-selection] [FILE.DIC...]
//   kebumini --help | --version
//
// Files named on the command line are the dictionaries of this run, in
// their order, and are remembered as the window's list; without any, the
// remembered dictionaries open. While a window of the user's runs, a start
// hands it the command line and ends, before anything of the display is
// touched (viewer/single_instance.h).
#include <QApplication>
#include <cstdio>

#include "viewer/profile.h"
#include "viewer/single_instance.h"
#include "viewer/viewer_app.h"

int main(int argc, char** argv) {
  using namespace kebu::viewer;
  const CommandLine line = ParseCommandLine(argc, argv);
  if (!line.error.isEmpty()) {
    std::fprintf(stderr, "kebumini: %s\n%s", qPrintable(line.error), qPrintable(Usage()));
    return 2;
  }
  if (line.help || line.version) {
    std::fputs(line.help ? qPrintable(Usage()) : "kebumini " KEBU_VERSION "\n", stdout);
    return 0;
  }
  QString error;
  const QString folder = RuntimeFolder(&error);
  InstanceLock lock;
  if (folder.isEmpty()) {
    std::fprintf(stderr, "kebumini: %s; this window runs on its own\n", qPrintable(error));
  } else if (lock.Acquire(folder) == InstanceLock::State::kRunning) {
    if (SendToRunning(SocketPath(folder), line, &error)) return 0;
    std::fprintf(stderr, "kebumini: %s\n", qPrintable(error));
    return 1;
  } else if (!lock.Error().isEmpty()) {
    std::fprintf(stderr, "kebumini: %s; this window runs on its own\n", qPrintable(lock.Error()));
  }
  const bool first = !folder.isEmpty() && lock.Error().isEmpty();

  QApplication application(argc, argv);
  QApplication::setOrganizationName(QLatin1String(kProfileName));
  QApplication::setApplicationName(QLatin1String(kProfileName));
  const auto translation = InstallTranslation(QLocale::system());
  CViewerApp viewer;
  if (!viewer.Start(line, first ? SocketPath(folder) : QString(), &error)) {
    std::fprintf(stderr, "kebumini: %s; later starts open windows of their own\n",
                 qPrintable(error));
  }
  viewer.Run();
  return 0;
}
