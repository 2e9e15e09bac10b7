// The application: the command line, the translation, one window per user
// (viewer/single_instance.h) and the main window.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QTranslator>
#include <memory>
#include <optional>
#include <vector>

namespace kebu::viewer {

class CViewerDlg;
class InstanceServer;

// What the command line asks for:
//
//   kebumini [--lookup TEXT | --lookup-selection] [FILE.DIC...]
//   kebumini --help | --version
//
// Qt's own options (-platform NAME, -style=NAME, ...) are passed over, with
// their values; every other argument that begins with a single "-" is Qt's
// too. After "--" every argument is a file.
struct CommandLine {
  // As the file system's bytes, unchanged (a name that is not valid in the
  // local encoding stays as it is), made absolute against the current folder.
  std::vector<QByteArray> files;
  std::optional<QString> lookup;  // --lookup TEXT (also --lookup=TEXT)
  bool lookupSelection = false;   // --lookup-selection
  bool help = false;
  bool version = false;
  QString error;  // wrong usage, for people; empty when the line is right

  bool operator==(const CommandLine&) const = default;
};

CommandLine ParseCommandLine(int argc, char** argv);
// The text of --help.
QString Usage();

// The window's translation for `locale`, installed with Qt's own for it
// (qt6-translations-l10n); null where there is none (English, the texts in
// the code, stays). Removed again when destroyed.
std::unique_ptr<QTranslator> InstallTranslation(const QLocale& locale);

class CViewerApp {
 public:
  CViewerApp();
  ~CViewerApp();

  // Makes the main window with the command line's files (see CViewerDlg)
  // and does what else it asks; with `socketPath`, listens there for later
  // starts (the caller holds the instance lock). The window is shown, or
  // minimised when the line asks for a lookup, so that it does not cover
  // what the user reads. False with *error set when the socket cannot be
  // listened on (the window is there all the same).
  bool Start(const CommandLine& line, const QString& socketPath = {}, QString* error = nullptr);
  // Runs the window modally until it closes.
  void Run();
  CViewerDlg* Window() const { return window_.get(); }

 private:
  // A later start's request: its files added (those not open yet), its
  // lookup done, or without one the window brought up.
  void Serve(const CommandLine& request);
  // The lookup `line` asks for; false when it asks for none.
  bool LookUp(const CommandLine& line);

  std::unique_ptr<CViewerDlg> window_;
  std::unique_ptr<InstanceServer> server_;
};

}  // namespace kebu::viewer
