// The application: the command line, the translation, the main window.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QTranslator>
#include <memory>
#include <vector>

namespace kebu::viewer {

// The dictionary files named on the command line (what QApplication left of
// argv), as the file system's bytes, unchanged (a name that is not valid in
// the local encoding stays as it is), made absolute against the current
// folder.
std::vector<QByteArray> FilesFromArguments(int argc, char** argv);

// The window's translation for `locale`, installed; null where there is none
// (English, the texts in the code, stays). Removed again when destroyed.
std::unique_ptr<QTranslator> InstallTranslation(const QLocale& locale);

class CViewerApp {
 public:
  // Runs the main window modally with `files` (see CViewerDlg); returns
  // false once it has ended, so the program ends.
  bool InitInstance(std::vector<QByteArray> files = {});
};

}  // namespace kebu::viewer
